#pragma once
// The serial configuration dialog: port, speed, handshake, trace, and a test of the port.
#include <QDialog>
#include <QVector>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class TEchange;
class TNoyauPrincipal;

class TComCfgDlg : public QDialog {
    Q_OBJECT
public:
    TComCfgDlg(TNoyauPrincipal &noyau, QWidget *parent = nullptr);

    static constexpr int MaxPorts = 33;
    QVector<int> NumeroCom;   // port number of each entry, in list order
    int Numero = 1;           // port chosen: set before showing, and by OK

    QGroupBox *Comports = nullptr;
    QButtonGroup *ComGroupe = nullptr;
    QGroupBox *BaudRG = nullptr;
    QButtonGroup *BaudGroupe = nullptr;
    QCheckBox *DTRcb = nullptr;
    QCheckBox *TraceCB = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
    QPushButton *HelpBtn = nullptr;
    QPushButton *TestBtn = nullptr;

    int vitesseChoisie() const;        // index 0..3, -1 when none
    void setVitesseChoisie(int index);
    int portChoisi() const;            // port number of the selected entry, 0 when none

    void OKBtnClick();
    void TestBtnClick();

protected:
    void showEvent(QShowEvent *e) override;
    void changeEvent(QEvent *e) override;

private:
    void ajusteTaille();
    void FormCreate();
    TNoyauPrincipal &noyau_;
};
