#pragma once
// The oscilloscope window for the instruments on the serial line: names the two channels,
// reads the instrument, sends the record to Korvalis or saves it as a file.
#include "scope/acquisition.h"
#include "scope/exportosc.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;
class TFormDDE;
class TGroupeChoix;
class TSessionInstrument;
class TZoneCourbes;

class TOscilloForm : public QWidget, public IAcquisitionVue {
    Q_OBJECT
public:
    explicit TOscilloForm(QWidget *parent = nullptr);
    ~TOscilloForm() override;

    // Window operations (event handlers keep the names of the controls).
    void FormActivate();
    void NbreRGClick();
    void EnregistreActionExecute();
    void StopActionExecute();
    void KorvalisActionExecute();
    void KorvalisAddBtnClick();
    void SaveBtnClick();
    void ExitItemClick() { close(); }

    // What the user typed, as the exports take it.
    TSaisieOsc saisie() const;
    TIntervalle selection() const { return SelectionOsc(*acq_, XYrg_index()); }
    TAcquisitionOsc &acquisition() { return *acq_; }
    bool lectureEnCours() const { return lecture_; }
    // The channels read, from the buffers into the drawing area (after every read).
    void afficheCourbes();

    // The link with Korvalis (not owned); without one the window sends through the session's.
    void setFormDDE(TFormDDE *d) { dde_ = d; }
    // The save dialog: gives the chosen name and the filter index (0 kvx, 1 txt, 2 csv);
    // false on cancel. Tests replace it; by default a file dialog is shown.
    std::function<bool(QString &nom, int &filtre)> demandeFichier;

    // IAcquisitionVue
    void message(const QString &texte) override;
    void boutonsLecture() override;
    void boutonsRepos(bool acqFaite) override;
    void stopActif(bool actif) override;
    void statut(const QString &texte) override;
    void jaugeMaximum(int jauge, int maximum) override;
    void jaugePosition(int jauge, int position, bool redessine) override;
    void optionLecture(int item) override;
    void pompe() override;

    QToolButton *LireBtn = nullptr;
    QToolButton *StopBtn = nullptr;
    QToolButton *KorvalisBtn = nullptr;
    QToolButton *SaveBtn = nullptr;
    QToolButton *KorvalisAddBtn = nullptr;
    QToolButton *ExitBtn = nullptr;
    QLineEdit *EditNomA = nullptr;
    QLineEdit *EditCommA = nullptr;
    QProgressBar *GaugeA = nullptr;
    QLineEdit *EditNomB = nullptr;
    QLineEdit *EditCommB = nullptr;
    QProgressBar *gaugeB = nullptr;
    QLineEdit *EditComm = nullptr;
    QLineEdit *NomConstEdit = nullptr;
    QLineEdit *UniteConstEdit = nullptr;
    QLineEdit *ValeurConstEdit = nullptr;
    TGroupeChoix *XYrg = nullptr;
    TGroupeChoix *NbreRG = nullptr;
    TGroupeChoix *OptionLectureRG = nullptr;
    QLabel *PanelCommande = nullptr;
    // The curves of the last read, with the markers of the part kept.
    TZoneCourbes *ZoneCourbes = nullptr;

    // Window state (the reader state lives in the acquisition object).
    int NbrePoints = 1000;
    int debutOsc = 0;
    int FinOsc = 0;

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    int XYrg_index() const;
    // The markers of the selection, for the option chosen now.
    void marqueSelection();
    void envoie(bool nouveauFichier);
    void completeNoms();
    bool espaceLance(QKeyEvent *k);
    void litRegistre();
    void ecritRegistre();
    // The program's instrument session, or the window's own when the program made none.
    TSessionInstrument &session();
    QString identification();

    std::unique_ptr<TSessionInstrument> sessionPropre_;
    std::unique_ptr<TAcquisitionOsc> acq_;
    TFormDDE *dde_ = nullptr;
    bool lecture_ = false;
    bool fermerApresLecture_ = false;
    bool dejaEnvoye_ = false;
};
