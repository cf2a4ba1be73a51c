#include "multimeter/fenetremultimetre.h"

#include "export/constantedlg.h"
#include "export/formedde.h"
#include "export/groupechoix.h"
#include "generator/balayagedlg.h"
#include "generator/balayagefenetre.h"
#include "instrument/session.h"
#include "link/dossiers.h"
#include "link/parsenumber.h"
#include "measure/floatedit.h"
#include "multimeter/balayagemult.h"
#include "multimeter/configmult.h"
#include "multimeter/transfertmult.h"
#include "multimeter/voiesdlg.h"
#include "multimeter/voiesmult.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// "Court|Long" hints: the short part as the tooltip, the long one as the status tip.
void aide(QWidget *w, const QString &hint)
{
    const qsizetype barre = hint.indexOf(QLatin1Char('|'));
    const QString court = barre < 0 ? hint : hint.left(barre);
    const QString long_ = barre < 0 ? hint : hint.mid(barre + 1);
    if (!court.isEmpty())
        w->setToolTip(court);
    w->setStatusTip(long_);
}

void aide(QAction *a, const QString &hint)
{
    const qsizetype barre = hint.indexOf(QLatin1Char('|'));
    const QString court = barre < 0 ? hint : hint.left(barre);
    const QString long_ = barre < 0 ? hint : hint.mid(barre + 1);
    a->setToolTip(court.isEmpty() ? a->text().remove(QLatin1Char('&')) : court);
    a->setStatusTip(long_);
}

QLabel *labelRouge(const QString &texte, QWidget *parent, const char *nom)
{
    auto *l = new QLabel(texte, parent);
    l->setObjectName(QLatin1String(nom));
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    l->setPalette(p);
    l->adjustSize();
    l->hide();
    return l;
}

struct TCurseurAttente {
    TCurseurAttente() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TCurseurAttente() { QApplication::restoreOverrideCursor(); }
};

} // namespace

// ---- Drawing area -------------------------------------------------------------------

void TZoneGraphe::peintSiBesoin()
{
    const QSize taille = size().expandedTo(QSize(1, 1));
    if (!perime_ && image_.size() == taille)
        return;
    if (image_.size() != taille)
        image_ = QImage(taille, QImage::Format_ARGB32_Premultiplied);
    perime_ = false;
    QPainter p(&image_);
    if (peindre)
        peindre(p, TRectangle{0, 0, taille.width(), taille.height()});
}

void TZoneGraphe::dessine(const std::function<void(QPainter &)> &dessin)
{
    peintSiBesoin();
    {
        QPainter p(&image_);
        dessin(p);
    }
    update();
}

void TZoneGraphe::invalide(bool immediat)
{
    perime_ = true;
    if (immediat)
        repaint();
    else
        update();
}

void TZoneGraphe::paintEvent(QPaintEvent *)
{
    peintSiBesoin();
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

void TZoneGraphe::resizeEvent(QResizeEvent *e)
{
    perime_ = true;
    QWidget::resizeEvent(e);
}

// ---- The window ---------------------------------------------------------------------

TMultimetreForm::TMultimetreForm(QWidget *parent, const QStringList &parametres, IInstrumentMesure *instrument)
    : QWidget(parent, Qt::Window), parametres_(parametres)
{
    setObjectName(QStringLiteral("MultimetreForm"));
    setWindowTitle(QStringLiteral("Acquisition : diagramme de Bode avec oscillo HEWLETT-PACKARD ou AGILENT"));
    setFont(PoliceGraphe());
    if (!instrument) {
        instrumentPropre_ = std::make_unique<TInstrumentMesure>(&session().echange, session().rigol());
        instrument = instrumentPropre_.get();
    }
    instrument_ = instrument;
    mult_ = std::make_unique<TMultimetre>(*instrument_, this);
    construit();

    // FormCreate
    Graphe().voie[VoieAbscisse].LabelVoie = LabelFreq;
    Graphe().voie[VoieAbscisse].GBvoie = GroupBoxFreq;
    for (size_t i = 0; i < 4; ++i) {
        Graphe().voie[i + 1].LabelVoie = Label[i];
        Graphe().voie[i + 1].GBvoie = GroupBox[i];
    }
    if (!ConstanteDlg)
        ConstanteDlg = new TConstanteDlg(this);
    if (!VoiesDlg)
        VoiesDlg = new TVoiesDlg(this);
    InitVoies();
    mult_->PremiereFois = true;
    // The window is at least as large as its contents ask (Linux fonts are wider than the
    // ones its design sizes assumed).
    layout()->activate();
    resize(size().expandedTo(minimumSizeHint()));

    Timer.setSingleShot(true);
    Timer.setInterval(TMultimetre::IntervalleMs);
    connect(&Timer, &QTimer::timeout, this, [this] { mult_->TimerTimer(); });
    mult_->MajActions();

    // Key preview: the window sees the keys before the control that has the focus.
    qApp->installEventFilter(this);
    if (parent) {
        const QRect r = parent->window()->frameGeometry();
        move(r.center() - rect().center());
    }
}

TMultimetreForm::~TMultimetreForm()
{
    qApp->removeEventFilter(this);
    TSessionInstrument::demandeArret();
    Timer.stop();
    // FormDestroy: the graph goes with the cycle object; it must not draw on us any more.
    mult_->setVue(nullptr);
    Graphe().Canvas = nullptr;
    for (Tvoie &v : Graphe().voie) {
        v.LabelVoie = nullptr;
        v.GBvoie = nullptr;
    }
}

TSessionInstrument &TMultimetreForm::session()
{
    if (TSessionInstrument *s = SessionInstrument())
        return *s;
    if (!sessionPropre_)
        sessionPropre_ = std::make_unique<TSessionInstrument>();
    return *sessionPropre_;
}

void TMultimetreForm::construit()
{
    resize(729, 566);
    auto *racine = new QVBoxLayout(this);
    racine->setContentsMargins(0, 0, 0, 0);
    racine->setSpacing(0);

    // Toolbar
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    auto action = [this](const char *nom, const QString &texte, QStyle::StandardPixmap image, const QString &hint = {}) {
        auto *a = new QAction(style()->standardIcon(image), texte, this);
        a->setObjectName(QLatin1String(nom));
        aide(a, hint);
        ToolBar->addAction(a);
        return a;
    };
    EnregistreAction = action("EnregistreAction", QStringLiteral("&Enregistrer"), QStyle::SP_DialogApplyButton,
                              QStringLiteral("Enregistrer|Enregistrer le point courant (barre d'espace)"));
    UndoAction = action("UndoAction", QStringLiteral("&Défaire"), QStyle::SP_ArrowBack,
                        QStringLiteral("Défaire|Supprimer le dernier point"));
    ResetAction = action("ResetAction", QStringLiteral("Rà&Z"), QStyle::SP_TrashIcon,
                         QStringLiteral("Remise à zéro|Supprimer tous les points"));
    KorvalisAction = action("KorvalisAction", QStringLiteral("vers &Korvalis"), QStyle::SP_ArrowRight,
                            QStringLiteral("vers Korvalis|Envoyer le tableau à Korvalis"));
    StopAction = action("StopAction", QStringLiteral("&Stop"), QStyle::SP_MediaStop,
                        QStringLiteral("|Déblocage de l'oscilloscope"));
    BalayageAction = action("BalayageAction", QStringLiteral("&Balayage"), QStyle::SP_MediaSeekForward,
                            QStringLiteral("Balayage|Balayage automatique en fréquence avec un générateur programmable"));
    ToolBar->addSeparator();
    FileOpen = action("FileOpen", QStringLiteral("&Ouvrir ..."), QStyle::SP_DialogOpenButton,
                      QStringLiteral("Ouvrir|Ouvrir un fichier de configuration"));
    FileOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    FileOpen->setShortcutContext(Qt::WindowShortcut);
    FileSave = action("FileSave", QStringLiteral("S&auver"), QStyle::SP_DialogSaveButton,
                      QStringLiteral("Enregistrer sous|Enregistrer la configuration courante"));
    ToolBar->addSeparator();
    Action1 = action("Action1", QStringLiteral("&Quitter"), QStyle::SP_DialogCloseButton,
                     QStringLiteral("Quitter|Fermer la fenêtre du multimètre"));
    UndoAction->setEnabled(false);
    ResetAction->setEnabled(false);
    KorvalisAction->setEnabled(false);
    for (QAction *a : ToolBar->actions())
        if (QWidget *b = ToolBar->widgetForAction(a))
            b->setFocusPolicy(Qt::NoFocus);
    racine->addWidget(ToolBar);

    auto *milieu = new QHBoxLayout;
    milieu->setContentsMargins(4, 4, 4, 4);
    racine->addLayout(milieu, 1);

    // Drawing area with the two error labels over it
    Oscillo = new TZoneGraphe(this);
    Oscillo->setObjectName(QStringLiteral("Oscillo"));
    Oscillo->setMinimumSize(300, 250);
    Oscillo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Oscillo->peindre = [this](QPainter &p, const TRectangle &r) { peint(p, r); };
    LabelErreurlecture = labelRouge(QStringLiteral("Données instables (cf Avg)"), Oscillo, "LabelErreurlecture");
    LabelErreurlecture->move(40, 8);
    LabelErreur = labelRouge(QStringLiteral("Données incorrectes (calibre ?)"), Oscillo, "LabelErreur");
    LabelErreur->move(40, 8 + LabelErreurlecture->height() + 4);
    milieu->addWidget(Oscillo, 1);

    // Right panel
    PanelValeur = new QWidget(this);
    PanelValeur->setObjectName(QStringLiteral("PanelValeur"));
    auto *panneau = new QVBoxLayout(PanelValeur);
    panneau->setContentsMargins(0, 0, 0, 0);
    milieu->addWidget(PanelValeur);

    GroupBoxFreq = new QGroupBox(QStringLiteral("Fréquence"), PanelValeur);
    GroupBoxFreq->setObjectName(QStringLiteral("GroupBoxFreq"));
    aide(GroupBoxFreq, QStringLiteral("Cliquer ici|cliquer pour modifier les options liées à la fréquence"));
    auto *lf = new QGridLayout(GroupBoxFreq);
    LabelFreq = new QLabel(GroupBoxFreq);
    LabelFreq->setObjectName(QStringLiteral("LabelFreq"));
    EditMaxi = new TFloatEdit(GroupBoxFreq);
    EditMaxi->setObjectName(QStringLiteral("EditMaxi"));
    EditMaxi->setMaxValue(1000000);
    EditMaxi->setMinValue(100);
    EditMaxi->setNomUnite(QStringLiteral("Hz"));
    EditMaxi->SetValue(1000);
    EditMini = new TFloatEdit(GroupBoxFreq);
    EditMini->setObjectName(QStringLiteral("EditMini"));
    EditMini->setMaxValue(1000);
    EditMini->setMinValue(1);
    EditMini->setNomUnite(QStringLiteral("Hz"));
    EditMini->SetValue(100);
    logCB = new QCheckBox(QStringLiteral("Axe logarithmique"), GroupBoxFreq);
    logCB->setObjectName(QStringLiteral("logCB"));
    logCB->setChecked(true);
    NumVoieRG = new TGroupeChoix(QStringLiteral("Source"), 2, GroupBoxFreq);
    NumVoieRG->setObjectName(QStringLiteral("NumVoieRG"));
    NumVoieRG->setItems({QStringLiteral("CH1"), QStringLiteral("CH2")});
    NumVoieRG->setItemIndex(0);
    lf->addWidget(LabelFreq, 0, 0, 1, 2);
    lf->addWidget(new QLabel(QStringLiteral("Maxi"), GroupBoxFreq), 1, 0);
    lf->addWidget(EditMaxi, 1, 1);
    lf->addWidget(new QLabel(QStringLiteral("Mini"), GroupBoxFreq), 2, 0);
    lf->addWidget(EditMini, 2, 1);
    lf->addWidget(logCB, 3, 0, 1, 2);
    lf->addWidget(NumVoieRG, 4, 0, 1, 2);
    panneau->addWidget(GroupBoxFreq);

    QFont gras = font();
    gras.setBold(true);
    gras.setPointSize(gras.pointSize() + 2);
    LabelFreq->setFont(gras);
    for (size_t i = 0; i < 4; ++i) {
        auto *g = new QGroupBox(PanelValeur);
        g->setObjectName(QStringLiteral("GroupBox%1").arg(i + 1));
        aide(g, QStringLiteral("Cliquer ici|cliquer pour modifier la grandeur à mesurer"));
        auto *l = new QVBoxLayout(g);
        l->setContentsMargins(6, 2, 6, 2);
        auto *lab = new QLabel(g);
        lab->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        lab->setFont(gras);
        lab->setMinimumHeight(lab->fontMetrics().height());
        l->addWidget(lab);
        if (i < 3) {
            g->setCursor(Qt::PointingHandCursor);
            lab->setCursor(Qt::PointingHandCursor);
        }
        g->installEventFilter(this);
        lab->installEventFilter(this);
        g->setProperty("tag", int(i + 1));
        lab->setProperty("tag", int(i + 1));
        GroupBox[i] = g;
        Label[i] = lab;
        panneau->addWidget(g);
    }

    GroupBox5 = new QGroupBox(QStringLiteral("Mise à jour en continu"), PanelValeur);
    GroupBox5->setObjectName(QStringLiteral("GroupBox5"));
    auto *l5 = new QHBoxLayout(GroupBox5);
    MesureCB = new QCheckBox(QStringLiteral("active"), GroupBox5);
    MesureCB->setObjectName(QStringLiteral("MesureCB"));
    aide(MesureCB, QStringLiteral("|Lit sans enregistrer l'oscillo toutes les xx secondes"));
    EnregistreEdit = new QLineEdit(GroupBox5);
    EnregistreEdit->setObjectName(QStringLiteral("EnregistreEdit"));
    EnregistreEdit->setFixedWidth(2);
    EnregistreEdit->setFrame(false);
    EnregistreEdit->setReadOnly(true);
    l5->addWidget(MesureCB, 1);
    l5->addWidget(EnregistreEdit);
    panneau->addWidget(GroupBox5);

    AcqAutoGB = new QGroupBox(QStringLiteral("Acquisition automatique"), PanelValeur);
    AcqAutoGB->setObjectName(QStringLiteral("AcqAutoGB"));
    auto *la = new QVBoxLayout(AcqAutoGB);
    AcqAutoCB = new QCheckBox(QStringLiteral("active"), AcqAutoGB);
    AcqAutoCB->setObjectName(QStringLiteral("AcqAutoCB"));
    aide(AcqAutoCB, QStringLiteral("|Lit sans enregistrer l'oscillo toutes les xx secondes"));
    StopBtn = new QPushButton(QStringLiteral("Arrêt de l'acquisition"), AcqAutoGB);
    StopBtn->setObjectName(QStringLiteral("StopBtn"));
    StartBtn = new QPushButton(QStringLiteral("Lancer l'acquisition"), AcqAutoGB);
    StartBtn->setObjectName(QStringLiteral("StartBtn"));
    aide(StartBtn, QStringLiteral("Démarrage de l'acquisition"));
    for (QPushButton *b : {StopBtn, StartBtn})
        b->setFocusPolicy(Qt::NoFocus);
    // Both buttons at the same place: one of them shows at a time.
    auto *place = new QGridLayout;
    place->addWidget(StopBtn, 0, 0);
    place->addWidget(StartBtn, 0, 0);
    la->addWidget(AcqAutoCB);
    la->addLayout(place);
    StopBtn->hide();
    StartBtn->hide();
    AcqAutoGB->hide();
    panneau->addWidget(AcqAutoGB);
    panneau->addStretch(1);

    PanelValeur->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    ajustePanneau();

    // Status bar of five panels
    StatusBar = new QWidget(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    auto *ls = new QHBoxLayout(StatusBar);
    ls->setContentsMargins(2, 1, 2, 1);
    ls->setSpacing(2);
    const int largeurs[5] = {100, 100, 100, 10, 50};
    for (size_t n = 0; n < 5; ++n) {
        auto *p = new QLabel(StatusBar);
        p->setObjectName(QStringLiteral("Panneau%1").arg(n));
        p->setFrameShape(QFrame::Panel);
        p->setFrameShadow(QFrame::Sunken);
        p->setMinimumWidth(largeurs[n]);
        p->setMinimumHeight(p->fontMetrics().height() + 4);
        Panneaux[n] = p;
        // The last panel takes the rest of the bar, as its messages are the longest.
        ls->addWidget(p, n == 4 ? 1 : 0);
    }
    // The sweep: its progress bar at the end of the bar, its texts in the last panel.
    balayage_ = new TBalayageFenetre(this);
    balayage_->barre()->setMaximumHeight(Panneaux[4]->minimumHeight());
    ls->addWidget(balayage_->barre());
    racine->addWidget(StatusBar);
    balayage_->texteEtat = [this](const QString &t) {
        Panneaux[4]->setText(t);
        Panneaux[4]->setToolTip(t);
    };
    balayage_->pointEnregistre = [this] { Oscillo->invalide(false); };
    balayage_->pompeFenetre = [this] { pompe(); };
    balayage_->etatChange = [this](bool enCours) {
        if (enCours) {
            Timer.stop();
            mult_->timerActif = false;
        }
        for (QWidget *w : std::initializer_list<QWidget *>{MesureCB, AcqAutoCB, StartBtn, StopBtn})
            w->setEnabled(!enCours);
        actions(etat_);
    };


    connect(EnregistreAction, &QAction::triggered, this, [this] { mult_->EnregistreExec(); });
    connect(UndoAction, &QAction::triggered, this, &TMultimetreForm::UndoExec);
    connect(ResetAction, &QAction::triggered, this, &TMultimetreForm::ResetActionExec);
    connect(KorvalisAction, &QAction::triggered, this, &TMultimetreForm::RegSaveExec);
    connect(StopAction, &QAction::triggered, this, &TMultimetreForm::StopActionExec);
    connect(BalayageAction, &QAction::triggered, this, &TMultimetreForm::BalayageExec);
    connect(FileOpen, &QAction::triggered, this, &TMultimetreForm::FileOpenExec);
    connect(FileSave, &QAction::triggered, this, &TMultimetreForm::FileSaveExec);
    connect(Action1, &QAction::triggered, this, &TMultimetreForm::ExitItemClick);
    connect(MesureCB, &QCheckBox::clicked, this, [this](bool c) { mult_->setMesureCB(c); });
    connect(AcqAutoCB, &QCheckBox::clicked, this, [this](bool c) { mult_->setAcqAutoCB(c); });
    connect(StartBtn, &QPushButton::clicked, this, [this] { mult_->StartBtnClick(); });
    connect(StopBtn, &QPushButton::clicked, this, [this] { mult_->StopBtnClick(); });
    connect(EditMaxi, &QLineEdit::textChanged, this, &TMultimetreForm::EditMaxiChange);
    connect(EditMini, &QLineEdit::textChanged, this, &TMultimetreForm::EditMiniChange);
    connect(EditMaxi, &QLineEdit::editingFinished, this, &TMultimetreForm::EditMaxiExit);
    connect(EditMini, &QLineEdit::editingFinished, this, &TMultimetreForm::EditMiniExit);
    connect(logCB, &QCheckBox::clicked, this, &TMultimetreForm::logCBClick);
    connect(NumVoieRG, &TGroupeChoix::clicked, this, &TMultimetreForm::NumVoieRGClick);
}

void TMultimetreForm::peint(QPainter &p, const TRectangle &r)
{
    // OscilloPaint
    Graphe().couleurFond = palette().color(QPalette::Window);
    Graphe().Canvas = &p;
    Graphe().DrawG(r);
    if (mult_->MesureCB)
        Graphe().AfficheCurseur();
    Graphe().Canvas = nullptr;
}

void TMultimetreForm::ajustePanneau()
{
    // The panel keeps the width of its widest text (170 pixels at least).
    const int largeur = std::max({170, PanelValeur->minimumWidth(), PanelValeur->sizeHint().width()});
    if (largeur != PanelValeur->minimumWidth()) {
        PanelValeur->setMinimumWidth(largeur);
        PanelValeur->setMaximumWidth(largeur);
    }
}

// ---- Channels -------------------------------------------------------------------------

void TMultimetreForm::InitVoies()
{
    ::InitVoies(Graphe());
    MajVoies();
}

void TMultimetreForm::MajVoies()
{
    Tgraphe &g = Graphe();
    ::MajVoies(g);
    for (int i = 0; i <= 4; ++i) {
        Tvoie &v = g.voie[size_t(i)];
        QLabel *l = v.LabelVoie;
        QGroupBox *b = v.GBvoie;
        if (!l || !b)
            continue;
        if (i <= g.DerniereVoie) {
            const QColor c = CouleurVoie[size_t(i)];
            b->setTitle(TitreVoie(v, i));
            QPalette pl = l->palette();
            pl.setColor(QPalette::WindowText, c);
            l->setPalette(pl);
            QFont f = l->font();
            f.setBold(true);
            l->setFont(f);
            l->setText(v.Nom);
            l->show();
            QPalette pb = b->palette();
            pb.setColor(QPalette::WindowText, c);
            b->setPalette(pb);
        } else {
            b->setTitle(QString());
            l->hide();
        }
        if (i > 0) {
            l->setProperty("tag", i);
            b->setProperty("tag", i);
        }
    }
    ajustePanneau();
}

void TMultimetreForm::VoieClick(int tag)
{
    arretAcquisition = true;
    Timer.stop();
    mult_->timerActif = false;
    const int i = tag & 0x7F;
    if (i < 1 || i > 4)
        return;
    Tgraphe &g = Graphe();
    VoiesDlg->VoieLue = &g.voie[size_t(i)];
    int actives = 0;
    for (int k = 1; k <= 4; ++k)
        if (g.voie[size_t(k)].Active)
            ++actives;
    VoiesDlg->DesactiveBtn->setVisible(actives > 1);
    const int r = montreVoiesDlg ? montreVoiesDlg(*VoiesDlg) : VoiesDlg->exec();
    if (r == QDialog::Accepted)
        MajVoies();
    VoiesDlg->VoieLue = nullptr;
    Oscillo->invalide(false);
    mult_->MajActions();
    focusEnregistre();
}

// ---- Actions ----------------------------------------------------------------------------

void TMultimetreForm::UndoExec()
{
    arretAcquisition = true;
    if (Graphe().NbrePoints > 0)
        --Graphe().NbrePoints;
    Oscillo->invalide(true);
    mult_->MajActions();
    focusEnregistre();
}

void TMultimetreForm::ResetActionExec()
{
    arretAcquisition = true;
    if (Confirm(QStringLiteral("Suppression des données courantes"))) {
        Graphe().NbrePoints = 0;
        Oscillo->invalide(true);
        mult_->MajActions();
    }
    focusEnregistre();
}

void TMultimetreForm::RegSaveExec()
{
    Timer.stop();
    mult_->timerActif = false;
    if (!ConstanteDlg)
        ConstanteDlg = new TConstanteDlg(this);
    const int r = montreConstanteDlg ? montreConstanteDlg(*ConstanteDlg) : ConstanteDlg->exec();
    if (r == QDialog::Accepted)
        EnvoieDonnees();
    mult_->MajActions();
}

void TMultimetreForm::FileOpenExec()
{
    Timer.stop();
    mult_->timerActif = false;
    QString nom;
    if (demandeFichier) {
        nom = demandeFichier(false);
    } else {
        QFileDialog d(this, QStringLiteral("Charger une configuration"), DossierDonnees,
                      QStringLiteral("Configuration (*.od)"));
        d.setAcceptMode(QFileDialog::AcceptOpen);
        d.setFileMode(QFileDialog::ExistingFile);
        d.setDefaultSuffix(QStringLiteral("od"));
        d.setOption(QFileDialog::DontUseNativeDialog, true);
        if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
            nom = d.selectedFiles().constFirst();
    }
    if (nom.isEmpty())
        mult_->MesureCBClick();
    else
        FileOpenAccept(nom);
}

void TMultimetreForm::FileSaveExec()
{
    Timer.stop();
    mult_->timerActif = false;
    QString nom;
    if (demandeFichier) {
        nom = demandeFichier(true);
    } else {
        QFileDialog d(this, QStringLiteral("Sauvegarder la configuration"), DossierDonnees,
                      QStringLiteral("Configuration (*.od)"));
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.setDefaultSuffix(QStringLiteral("od"));
        d.setOption(QFileDialog::DontUseNativeDialog, true);
        if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
            nom = d.selectedFiles().constFirst();
    }
    if (nom.isEmpty())
        mult_->MesureCBClick();
    else
        FileSaveAccept(nom);
}

void TMultimetreForm::FileOpenAccept(const QString &nom)
{
    LitConfig(nom);
    mult_->MajActions();
    focusEnregistre();
}

void TMultimetreForm::FileSaveAccept(const QString &nom)
{
    SauveConfig(nom);
    mult_->MajActions();
    focusEnregistre();
}

void TMultimetreForm::StopActionExec()
{
    if (balayageEnCours()) {
        // The sweep ends after the exchange in progress; the instrument is not reset.
        balayage_->arrete();
        StopAction->setEnabled(false);
        return;
    }
    mult_->StopActionExec();
}

// ---- Sweep --------------------------------------------------------------------------------

bool TMultimetreForm::balayageEnCours() const { return balayage_ && balayage_->enCours(); }

void TMultimetreForm::BalayageExec()
{
    if (balayageEnCours())
        return;
    Timer.stop();
    mult_->timerActif = false;
    TReglagesBalayage r;
    if (!balayage_->demande(r, montreBalayageDlg)) {
        mult_->MajActions();
        return;
    }
    lanceBalayage(r);
}

void TMultimetreForm::lanceBalayage(const TReglagesBalayage &r)
{
    if (balayageEnCours())
        return;
    Timer.stop();
    mult_->timerActif = false;
    {
        TPointBalayageMult point(*mult_, this);
        balayage_->execute(r, constructeur, &session().echange, session().rigol(), point);
    }
    // The continuous update as it was before the sweep.
    mult_->MajActions();
    Oscillo->invalide(false);
    if (fermerApresBalayage_) {
        fermerApresBalayage_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

// ---- Frequency box ----------------------------------------------------------------------

void TMultimetreForm::EditMaxiChange()
{
    EditMini->setMaxValue(EditMaxi->Value() / 10);
    Graphe().voie[VoieAbscisse].maxi = EditMaxi->Value();
    Oscillo->invalide(false);
}

void TMultimetreForm::EditMiniChange()
{
    EditMaxi->setMinValue(EditMini->Value() * 10);
    Graphe().voie[VoieAbscisse].mini = EditMini->Value();
    Oscillo->invalide(false);
}

void TMultimetreForm::EditMaxiExit()
{
    QString t = EditMaxi->text();
    t.remove(t.indexOf(QStringLiteral("Hz")), t.contains(QStringLiteral("Hz")) ? 2 : 0);
    const double v = ParseNumber(t.trimmed());
    if (!std::isnan(v))
        EditMaxi->SetValue(v);
    else
        EditMaxi->SetValue(EditMaxi->Value());
}

void TMultimetreForm::EditMiniExit()
{
    QString t = EditMini->text();
    t.remove(t.indexOf(QStringLiteral("Hz")), t.contains(QStringLiteral("Hz")) ? 2 : 0);
    const double v = ParseNumber(t.trimmed());
    if (!std::isnan(v))
        EditMini->SetValue(v);
    else
        EditMini->SetValue(EditMini->Value());
}

void TMultimetreForm::logCBClick() { Graphe().voie[VoieAbscisse].AxeLog = logCB->isChecked(); }

void TMultimetreForm::NumVoieRGClick()
{
    Graphe().voie[VoieAbscisse].NumVoie = uint8_t(std::max(NumVoieRG->itemIndex(), 0) + 1);
}

// ---- Configuration and hand-over ----------------------------------------------------------

void TMultimetreForm::LitConfig(const QString &nom)
{
    if (!QFileInfo::exists(nom))
        return;
    TConfigMultimetre c;
    if (::LitConfig(nom, Graphe().voie, c)) {
        ConstanteDlg->NomConstEdit->setText(c.nomConstante);
        ConstanteDlg->UniteConstEdit->setText(c.uniteConstante);
        mesureCoche(c.mesure);
        mult_->MesureCB = c.mesure;
    }
    Graphe().DerniereVoie = 0;
    MajVoies();
    Oscillo->invalide(false);
}

void TMultimetreForm::SauveConfig(const QString &nom)
{
    // A failed save is not reported: the previous file stays as it was.
    ::SauveConfig(nom, Graphe().voie, mult_->MesureCB);
}

void TMultimetreForm::EnvoieDonnees()
{
    TInfosPage infos = ConstanteDlg->infos();
    infos.identification = session().IdentiteScope;
    TTransfertMultimetre t;
    {
        TCurseurAttente sablier;
        t = PrepareTransfertMultimetre(Graphe(), AcqAutoCB->isChecked(), infos);
        // The points are shown as they were sorted.
        Oscillo->invalide(false);
        TFormDDE &dde = dde_ ? *dde_ : session().lienKorvalis();
        dde.Execute(t.ordre, t.texte);
    }
    ConstanteDlg->setChoix(t.choixSuivant);
}

// ---- IVueMultimetre ---------------------------------------------------------------------

void TMultimetreForm::panneau(int n, const QString &texte)
{
    if (n >= 0 && n < 5)
        Panneaux[size_t(n)]->setText(texte);
}

void TMultimetreForm::labelVoie(int i, const QString &texte)
{
    if (i >= 0 && i <= 4)
        if (QLabel *l = Graphe().voie[size_t(i)].LabelVoie) {
            l->setText(texte);
            ajustePanneau();
        }
}

void TMultimetreForm::hintVoie(int i, const QString &texte)
{
    if (i >= 0 && i <= 4)
        if (QLabel *l = Graphe().voie[size_t(i)].LabelVoie)
            l->setToolTip(texte);
}

void TMultimetreForm::titreVoie(int i, const QString &texte)
{
    if (i >= 0 && i <= 4)
        if (QGroupBox *b = Graphe().voie[size_t(i)].GBvoie) {
            b->setTitle(texte);
            ajustePanneau();
        }
}

void TMultimetreForm::erreurLecture(bool visible, const QString &texte)
{
    if (!texte.isEmpty())
        LabelErreurlecture->setText(texte);
    else if (!visible)
        LabelErreurlecture->setText(QStringLiteral("Données instables (cf Avg)"));
    LabelErreurlecture->adjustSize();
    LabelErreurlecture->setVisible(visible);
}

void TMultimetreForm::erreurVisible(bool visible) { LabelErreur->setVisible(visible); }

void TMultimetreForm::actions(const TEtatActions &e)
{
    etat_ = e;
    // During a sweep the points are the sweep's: nothing else records or removes them, and
    // Stop ends the sweep.
    const bool libre = !balayageEnCours();
    EnregistreAction->setEnabled(libre && e.enregistre);
    UndoAction->setEnabled(libre && e.undo);
    ResetAction->setEnabled(libre && e.reset);
    KorvalisAction->setEnabled(libre && e.korvalis);
    StopAction->setEnabled(e.stop || !libre);
    for (QAction *a : {FileOpen, FileSave, BalayageAction})
        a->setEnabled(libre);
    StartBtn->setVisible(e.startVisible);
    StopBtn->setVisible(e.stopVisible);
}

void TMultimetreForm::minuterie(bool actif, int intervalleMs)
{
    // No continuous update during a sweep: its cycles are the sweep's.
    if (actif && !balayageEnCours())
        Timer.start(intervalleMs);
    else
        Timer.stop();
}

void TMultimetreForm::mesureCoche(bool coche)
{
    const QSignalBlocker b(MesureCB);
    MesureCB->setChecked(coche);
}

void TMultimetreForm::acqAutoVisible() { AcqAutoGB->show(); }

void TMultimetreForm::repeint(bool immediat) { Oscillo->invalide(immediat); }

void TMultimetreForm::dessine(const std::function<void()> &dessin)
{
    Oscillo->dessine([this, &dessin](QPainter &p) {
        Graphe().Canvas = &p;
        dessin();
        Graphe().Canvas = nullptr;
    });
}

void TMultimetreForm::focusEnregistre()
{
    if (EnregistreEdit->isVisible())
        EnregistreEdit->setFocus();
}

void TMultimetreForm::message(const QString &texte) { Inform(texte); }

void TMultimetreForm::pompe() { QCoreApplication::processEvents(); }

// ---- Events -----------------------------------------------------------------------------

void TMultimetreForm::FormActivate()
{
    setWindowTitle(QStringLiteral("Acquisition : Bode avec ") + session().IdentiteScope);
    if (mult_->PremiereFois) {
        mult_->PremiereFois = false;
        const QString fichier = FichierConfigDemarrage(parametres_);
        if (!fichier.isEmpty())
            LitConfig(fichier);
        mult_->VerifieSondes();
    }
    mult_->MajActions();
    focusEnregistre();
}

bool TMultimetreForm::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::WindowActivate:
        FormActivate();
        break;
    case QEvent::WindowDeactivate:
        // FormDeactivate
        Timer.stop();
        mult_->timerActif = false;
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

bool TMultimetreForm::toucheApercue(QKeyEvent *k)
{
    if (balayageEnCours())
        return k->key() == Qt::Key_Space;
    if (k->key() == Qt::Key_F8 && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return mult_->FormShortCut(Qt::Key_F8);
    if (k->key() != Qt::Key_Space || (k->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return false;
    return mult_->ToucheEspace();
}

bool TMultimetreForm::eventFilter(QObject *obj, QEvent *e)
{
    if (obj->isWidgetType()) {
        auto *w = static_cast<QWidget *>(obj);
        if (e->type() == QEvent::KeyPress && w->window() == this)
            if (toucheApercue(static_cast<QKeyEvent *>(e)))
                return true;
        if (e->type() == QEvent::MouseButtonRelease && w->window() == this && !balayageEnCours()
            && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
            const QVariant tag = w->property("tag");
            for (size_t i = 0; i < 4; ++i)
                if ((w == GroupBox[i] || w == Label[i]) && tag.isValid()) {
                    VoieClick(tag.toInt());
                    return true;
                }
        }
    }
    return QWidget::eventFilter(obj, e);
}

void TMultimetreForm::closeEvent(QCloseEvent *e)
{
    if (balayageEnCours()) {
        // The sweep stops first; the window closes once it has returned.
        balayage_->arrete();
        fermerApresBalayage_ = true;
        e->ignore();
        return;
    }
    // FormCloseQuery
    if (Graphe().NbrePoints > 0 && !Confirm(QStringLiteral("Abandon"))) {
        e->ignore();
        return;
    }
    // FormClose
    arretAcquisition = true;
    Timer.stop();
    mult_->timerActif = false;
    SauveConfig(FichierConfigDefaut());
    try {
        switch (constructeur) {
        case oRigol: instrument_->EnvoieCommandeSimple(":KEY:LOCK DIS"); break;
        case oRigolUSB:
        case oRigolVisa:
        case oSiglent: instrument_->unLock(); break;
        default: break;
        }
    } catch (const std::exception &) {
        // the instrument is gone: its panel stays as it is
    }
    session().SetMode(mNone);
    e->accept();
}

void TMultimetreForm::hideEvent(QHideEvent *e)
{
    Timer.stop();
    mult_->timerActif = false;
    QWidget::hideEvent(e);
}
