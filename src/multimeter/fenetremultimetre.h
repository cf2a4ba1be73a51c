#pragma once
// The multimeter window: the live graph of the recorded points, the channel boxes with the
// current readings, the toolbar and the status bar. The cycle, the record action, the timer
// chain and the automatic acquisition are TMultimetre's; the window shows what it is told.
#include "generator/reglagesbalayage.h"
#include "multimeter/cycle.h"

#include <QImage>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolBar;
class TBalayageDlg;
class TBalayageFenetre;
class TConstanteDlg;
class TFloatEdit;
class TFormDDE;
class TGroupeChoix;
class TSessionInstrument;
class TVoiesDlg;

// The drawing area: the graph is drawn into a picture the area shows, so that the live cursor
// can be drawn and erased in not-xor mode between two full paints.
class TZoneGraphe : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Runs a full paint: `peindre` draws the whole graph into the picture.
    std::function<void(QPainter &, const TRectangle &)> peindre;
    // Draws on the current picture (the picture is painted first when it is missing or stale).
    void dessine(const std::function<void(QPainter &)> &dessin);
    // The next paint redraws everything; at once when immediat.
    void invalide(bool immediat);
    const QImage &image() const { return image_; }

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;

private:
    void peintSiBesoin();
    QImage image_;
    bool perime_ = true;
};

class TMultimetreForm : public QWidget, public IVueMultimetre {
    Q_OBJECT
public:
    // parametres: the program's command-line arguments (without the program's name); those
    // not beginning with "/" name the configuration to read at the first activation.
    // instrument: where the cycles read (not owned); by default the session's exchange and
    // Rigol driver.
    explicit TMultimetreForm(QWidget *parent = nullptr, const QStringList &parametres = {},
                             IInstrumentMesure *instrument = nullptr);
    ~TMultimetreForm() override;

    // Handlers (names of the controls and events).
    void FormActivate();
    void VoieClick(int tag);
    void UndoExec();
    void ResetActionExec();
    void RegSaveExec();
    void FileOpenExec();
    void FileSaveExec();
    void FileOpenAccept(const QString &nom);
    void FileSaveAccept(const QString &nom);
    void EditMaxiChange();
    void EditMiniChange();
    void EditMaxiExit();
    void EditMiniExit();
    void logCBClick();
    void NumVoieRGClick();
    void ExitItemClick() { close(); }
    // "Balayage": the sweep's dialog, then the sweep with its values.
    void BalayageExec();
    // A sweep with these settings, the points recorded in the multimeter's graph.
    void lanceBalayage(const TReglagesBalayage &r);
    bool balayageEnCours() const;
    // Stop: the sweep in progress, otherwise the instrument's unblocking.
    void StopActionExec();

    // Orders and shows the channels (active first); the points go when the count changes.
    void MajVoies();
    // The default channels.
    void InitVoies();
    // The configuration files (".OD").
    void LitConfig(const QString &nom);
    void SauveConfig(const QString &nom);
    // The hand-over of the table to Korvalis.
    void EnvoieDonnees();

    TMultimetre &multimetre() { return *mult_; }
    Tgraphe &Graphe() { return mult_->Graphe; }
    TZoneGraphe *oscillo() const { return Oscillo; }
    TVoiesDlg *voiesDlg() const { return VoiesDlg; }
    TConstanteDlg *constanteDlg() const { return ConstanteDlg; }

    // The link with Korvalis (not owned); without one the window sends through the session's.
    void setFormDDE(TFormDDE *d) { dde_ = d; }
    // Tests replace the modal parts: the channel dialog, the page dialog, the file dialogs.
    std::function<int(TVoiesDlg &)> montreVoiesDlg;
    std::function<int(TConstanteDlg &)> montreConstanteDlg;
    std::function<QString(bool sauver)> demandeFichier;
    std::function<int(TBalayageDlg &)> montreBalayageDlg;

    // IVueMultimetre
    void panneau(int n, const QString &texte) override;
    void labelVoie(int i, const QString &texte) override;
    void hintVoie(int i, const QString &texte) override;
    void titreVoie(int i, const QString &texte) override;
    void erreurLecture(bool visible, const QString &texte) override;
    void erreurVisible(bool visible) override;
    void actions(const TEtatActions &etat) override;
    void minuterie(bool actif, int intervalleMs) override;
    void mesureCoche(bool coche) override;
    void acqAutoVisible() override;
    void repeint(bool immediat) override;
    void dessine(const std::function<void()> &dessin) override;
    void focusEnregistre() override;
    void message(const QString &texte) override;
    void pompe() override;

    // Controls
    QToolBar *ToolBar = nullptr;
    QAction *EnregistreAction = nullptr;
    QAction *UndoAction = nullptr;
    QAction *ResetAction = nullptr;
    QAction *KorvalisAction = nullptr;
    QAction *StopAction = nullptr;
    QAction *FileOpen = nullptr;
    QAction *FileSave = nullptr;
    QAction *Action1 = nullptr;
    QAction *BalayageAction = nullptr;
    TZoneGraphe *Oscillo = nullptr;
    QLabel *LabelErreurlecture = nullptr;
    QLabel *LabelErreur = nullptr;
    QWidget *PanelValeur = nullptr;
    QGroupBox *GroupBoxFreq = nullptr;
    QLabel *LabelFreq = nullptr;
    TFloatEdit *EditMaxi = nullptr;
    TFloatEdit *EditMini = nullptr;
    QCheckBox *logCB = nullptr;
    TGroupeChoix *NumVoieRG = nullptr;
    std::array<QGroupBox *, 4> GroupBox{};
    std::array<QLabel *, 4> Label{};
    QGroupBox *GroupBox5 = nullptr;
    QCheckBox *MesureCB = nullptr;
    QLineEdit *EnregistreEdit = nullptr;
    QGroupBox *AcqAutoGB = nullptr;
    QCheckBox *AcqAutoCB = nullptr;
    QPushButton *StopBtn = nullptr;
    QPushButton *StartBtn = nullptr;
    QWidget *StatusBar = nullptr;
    std::array<QLabel *, 5> Panneaux{};
    QTimer Timer;
    TVoiesDlg *VoiesDlg = nullptr;
    TConstanteDlg *ConstanteDlg = nullptr;

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *obj, QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    TSessionInstrument &session();
    void construit();
    void peint(QPainter &p, const TRectangle &r);
    bool toucheApercue(QKeyEvent *k);
    // The right panel grows to its widest caption or reading (never shrinks).
    void ajustePanneau();

    std::unique_ptr<TSessionInstrument> sessionPropre_;
    std::unique_ptr<TInstrumentMesure> instrumentPropre_;
    IInstrumentMesure *instrument_ = nullptr;
    std::unique_ptr<TMultimetre> mult_;
    TBalayageFenetre *balayage_ = nullptr;
    TEtatActions etat_;
    bool fermerApresBalayage_ = false;
    QStringList parametres_;
    TFormDDE *dde_ = nullptr;
    bool fermeture_ = false;
};
