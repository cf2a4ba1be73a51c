#pragma once
// The Bode window: measures the gain and the phase at the generator's frequency, shows the
// two sample blocks, records the points of a gain and phase diagram against the frequency
// and sends them to Korvalis.
#include "bode/mesurebode.h"
#include "measure/graphe.h"
#include "measure/unites.h"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QTimer;
class QToolButton;
class TConstanteDlg;
class TFloatEdit;
class TFormDDE;
class TGroupeChoix;
class TBalayageFenetre;
class TSessionInstrument;
class TVoieBodeDlg;
struct TReglagesBalayage;
class TZoneDessin;

class TBodeForm : public QWidget, public IVueBode {
    Q_OBJECT
public:
    explicit TBodeForm(QWidget *parent = nullptr);
    ~TBodeForm() override;

    // Window operations (they keep the names of the controls).
    void FormActivate();
    void majBoutons() override;
    void EnregistreBtnClick();
    void StopBtnClick();
    void UndoBtnClick();
    void ResetDataBtnClick();
    void AddDataBtnClick();
    void RegSaveBtnClick();
    void ExitBtnClick();
    void ContinuBtnClick();
    void Timer1Timer();
    void GainClick();
    void PhaseClick();
    void logCBClick();
    // "Balayage": the sweep's dialog, then the sweep with its values.
    void BalayageBtnClick();
    // A sweep with these settings, the points recorded in the window's graph.
    void lanceBalayage(const TReglagesBalayage &r);
    bool balayageEnCours() const;

    // IVueBode
    void afficheErreur(const QString &texte) override;
    void effaceErreur() override;
    void stopActif(bool actif) override;
    void arreteContinu() override;
    void message(const QString &texte) override;
    void curseurAttente(bool actif) override;
    void resultats() override;
    void pompe() override;

    // The link with Korvalis (not owned); without one the window sends through the session's.
    void setFormDDE(TFormDDE *d) { dde_ = d; }
    // How the modal dialogs are run (the page dialog, the gain and phase dialog); tests
    // replace it. By default QDialog::exec.
    std::function<int(QDialog *)> executeDialogue;
    // A test's hook called at each pump of a measurement.
    std::function<void()> surPompe;

    TMesureBode &mesure() { return *mesure_; }
    TConstanteDlg *pageDlg() const { return ConstanteDlg_; }
    TVoieBodeDlg *voieDlg() const { return VoieBodeDlg_; }
    bool pointCourant() const { return pointCourant_; }
    // The pictures of the two drawing areas as painted now.
    QImage imageGraphe();
    QImage imageOscillo();

    Tgraphe Graphe;
    TgrapheOsc GrapheOsc;
    Tunite Tension{QStringLiteral("V")};

    QToolButton *EnregistreBtn = nullptr;
    QToolButton *StopBtn = nullptr;
    QToolButton *UndoBtn = nullptr;
    QToolButton *ResetDataBtn = nullptr;
    QToolButton *AddDataBtn = nullptr;
    QToolButton *RegSaveBtn = nullptr;
    QToolButton *ExitBtn = nullptr;
    QToolButton *ContinuBtn = nullptr;
    QToolButton *BalayageBtn = nullptr;
    QLabel *PanelErreur = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *LabelFreq = nullptr;
    TFloatEdit *EditMaxi = nullptr;
    TFloatEdit *EditMini = nullptr;
    QCheckBox *logCB = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QLabel *LabelGain = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QLabel *LabelPhase = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    QLabel *Label2 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QLabel *Label1 = nullptr;
    TGroupeChoix *NumVoieRG = nullptr;
    TZoneDessin *Oscillo = nullptr;
    TZoneDessin *PaintBox1 = nullptr;
    // The status bar of the sweep, shown from the first sweep on: its text and progress bar.
    QWidget *BarreEtat = nullptr;
    QLabel *LabelEtat = nullptr;
    QTimer *Timer1 = nullptr;

protected:
    bool eventFilter(QObject *obj, QEvent *e) override;
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    TSessionInstrument &session();
    void lance();   // one measurement, with the Stop and close requests made during it
    void dessineGraphe(QPainter &p, const QRect &r);
    void dessineOscillo(QPainter &p, const QRect &r);
    void couleurBoite(QGroupBox *b, QLabel *l, int couleur);
    void litReglages();
    void ecritReglages();
    int execute(QDialog *d);

    std::unique_ptr<TSessionInstrument> sessionPropre_;
    std::unique_ptr<TMesureBode> mesure_;
    TBalayageFenetre *balayage_ = nullptr;
    TFormDDE *dde_ = nullptr;
    TConstanteDlg *ConstanteDlg_ = nullptr;
    TVoieBodeDlg *VoieBodeDlg_ = nullptr;
    bool pointCourant_ = false;
    bool rstEnAttente_ = false;
    bool fermerApresMesure_ = false;
    bool fermerApresBalayage_ = false;
    bool fermetureAcceptee_ = false;
};
