#pragma once
// The oscilloscope window of the instruments reached through the Rigol driver (Rigol on
// USB or VISA, Siglent on VISA).
#include "scope/lecturerigol.h"

#include <QWidget>
#include <functional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QToolButton;
class TRigol;
class TZoneCourbes;

// The samples of channel voie to draw: the instrument's codes with their reference taken
// off, larger for a higher voltage.
std::vector<qint32> EchantillonsRigol(const TRigol &rigol, int voie, int n);

class TOscilloRigolForm : public QWidget {
    Q_OBJECT
public:
    explicit TOscilloRigolForm(QWidget *parent = nullptr);
    ~TOscilloRigolForm() override;

    int NbrePointsLu = 0;
    int NbrePoints = 1000;
    bool AcqFaite = false;
    bool AcqAsauver = false;

    QToolButton *LireBtn = nullptr;
    QToolButton *StopBtn = nullptr;
    QToolButton *KorvalisBtn = nullptr;
    QToolButton *SaveBtn = nullptr;
    QToolButton *KorvalisAddBtn = nullptr;
    QToolButton *ExitBtn = nullptr;
    QLineEdit *EditNomA = nullptr;
    QLineEdit *EditCommA = nullptr;
    QLineEdit *EditNomB = nullptr;
    QLineEdit *EditCommB = nullptr;
    QCheckBox *activeA = nullptr;
    QCheckBox *activeB = nullptr;
    QButtonGroup *NbreRG = nullptr;
    QLabel *PanelCommande = nullptr;
    // The channels of the last read.
    TZoneCourbes *ZoneCourbes = nullptr;

    // Asks the name of a save: answers an empty name when cancelled, and the chosen
    // filter's index. The window's file dialog by default; tests replace it.
    std::function<QString(const QStringList &filtres, int &filtre)> demandeNom;

    void activeBoutons(bool actif);
    void LireBtnClick();
    void KorvalisBtnClick();
    void KorvalisAddBtnClick();
    void SaveBtnClick();
    void FormActivate();
    bool lectureEnCours() const { return lecture_; }

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void envoie(bool nouveauFichier);
    // After a read: the active channels into the drawing area.
    void afficheCourbes();
    TEnregistrement enregistrement() const;
    // The session's Rigol driver and identification (none without a session).
    TRigol *pilote() const;
    QString identification() const;
    QStringList filtres_;
    bool lecture_ = false;
    bool fermerApresLecture_ = false;
};
