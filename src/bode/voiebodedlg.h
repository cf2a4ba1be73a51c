#pragma once
// The gain and phase dialog of the Bode window: colours, gain axis in decibels or linear
// with its limits, phase unit.
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class TGroupeChoix;
class Tgraphe;

class TVoieBodeDlg : public QDialog {
    Q_OBJECT
public:
    // g is the Bode graph (not owned): the dialog reads and sets its gain and phase channels.
    explicit TVoieBodeDlg(Tgraphe &g, QWidget *parent = nullptr);

    // What the dialog shows when it opens.
    void FormActivate();
    // The spin buttons of the gain limits (they act at once; Cancel does not undo them).
    void MaxiSpinUp();
    void MaxiSpinDown();
    void MiniSpinUp();
    void MiniSpinDown();
    // OK: the choices go to the graph, then the dialog closes.
    void ActiveBtnClick();

    QComboBox *CouleurGain = nullptr;
    QCheckBox *decibelCB = nullptr;
    QStackedWidget *pages = nullptr;     // 0 decibel page, 1 linear page
    QLineEdit *EditMaxidb = nullptr;
    QLineEdit *EditMinidB = nullptr;
    QToolButton *MaxiSpinHaut = nullptr;
    QToolButton *MaxiSpinBas = nullptr;
    QToolButton *MiniSpinHaut = nullptr;
    QToolButton *MiniSpinBas = nullptr;
    QLineEdit *EditMaxi = nullptr;
    TGroupeChoix *DegreRG = nullptr;
    QComboBox *CouleurPhase = nullptr;
    QLineEdit *EditPhaseMax = nullptr;
    QLineEdit *EditPhaseMin = nullptr;
    QPushButton *ActiveBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent *e) override;

private:
    Tgraphe &g_;
};

// The sixteen standard colours with their names, in a combo box; the current colour is
// added with its number when it is none of them.
void RemplitCouleurs(QComboBox *c);
void ChoisitCouleur(QComboBox *c, const QColor &couleur);
QColor CouleurChoisie(const QComboBox *c);
