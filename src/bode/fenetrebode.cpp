#include "bode/fenetrebode.h"

#include "bode/balayagebode.h"
#include "bode/graphebode.h"
#include "bode/reglagesbode.h"
#include "bode/voiebodedlg.h"
#include "export/constantedlg.h"
#include "export/formedde.h"
#include "export/groupechoix.h"
#include "export/page.h"
#include "generator/balayagedlg.h"
#include "generator/balayagefenetre.h"
#include "instrument/session.h"
#include "link/echange.h"
#include "link/parsenumber.h"
#include "measure/floatedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

// A drawing area: paints through its owner into a raster picture, then shows it.
class TZoneDessin : public QWidget {
public:
    explicit TZoneDessin(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    std::function<void(QPainter &, const QRect &)> dessine;
    QImage image()
    {
        QImage img(std::max(width(), 1), std::max(height(), 1), QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::white);
        if (dessine) {
            QPainter p(&img);
            dessine(p, img.rect());
        }
        return img;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const QImage img = image();
        QPainter p(this);
        p.drawImage(0, 0, img);
    }
};

namespace {

struct TCurseurAttente {
    TCurseurAttente() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TCurseurAttente() { QApplication::restoreOverrideCursor(); }
};

// The tool bar images, 20 by 20 pixels.
QIcon image(int indice)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen trait(QColor(40, 40, 40), 2);
    switch (indice) {
    case 0:   // stop
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawRoundedRect(QRectF(3, 3, 14, 14), 2, 2);
        break;
    case 1:   // record
        p.setPen(QPen(QColor(120, 0, 0), 1));
        p.setBrush(QColor(220, 40, 40));
        p.drawEllipse(QRectF(3, 3, 14, 14));
        break;
    case 2: {   // undo
        p.setPen(trait);
        QPainterPath c;
        c.moveTo(15, 16);
        c.cubicTo(17, 6, 8, 4, 5, 9);
        p.drawPath(c);
        p.setBrush(QColor(40, 40, 40));
        p.drawPolygon(QPolygonF({QPointF(2, 5), QPointF(8, 11), QPointF(2, 12)}));
        break;
    }
    case 3:   // reset
        p.setPen(QPen(QColor(200, 30, 30), 3));
        p.drawLine(4, 4, 16, 16);
        p.drawLine(16, 4, 4, 16);
        break;
    case 4:   // add to the page
        p.setPen(QPen(QColor(0, 120, 0), 3));
        p.drawLine(10, 3, 10, 17);
        p.drawLine(3, 10, 17, 10);
        break;
    case 5:   // to Korvalis
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 200));
        p.drawPolygon(QPolygonF({QPointF(2, 7), QPointF(10, 7), QPointF(10, 2), QPointF(18, 10), QPointF(10, 18),
                                 QPointF(10, 13), QPointF(2, 13)}));
        break;
    case 7:   // exit
        p.setPen(trait);
        p.setBrush(QColor(230, 200, 140));
        p.drawRect(QRectF(4, 2, 10, 16));
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(QPointF(11, 10), 1, 1);
        break;
    case 10: {   // sweep: a sine whose period shortens, and the arrow of the frequency
        p.setPen(QPen(QColor(30, 90, 200), 2));
        QPainterPath c;
        c.moveTo(2, 10);
        for (double x = 2; x <= 18; x += 0.25) {
            const double t = (x - 2) / 16;
            c.lineTo(x, 10 - 6 * std::sin(2 * M_PI * (1.2 * t + 2.2 * t * t)));
        }
        p.drawPath(c);
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.setBrush(QColor(40, 40, 40));
        p.drawLine(QPointF(3, 18.5), QPointF(15, 18.5));
        p.drawPolygon(QPolygonF({QPointF(19, 18.5), QPointF(15, 16.5), QPointF(15, 20.5)}));
        break;
    }
    case 8:   // continuous, up
    case 9:   // continuous, down
        p.setPen(QPen(QColor(60, 60, 60), 1));
        p.setBrush(indice == 9 ? QColor(30, 180, 30) : QColor(190, 190, 190));
        p.drawEllipse(QRectF(3, 3, 14, 14));
        break;
    default:
        break;
    }
    return QIcon(pm);
}

QToolButton *bouton(QWidget *parent, const char *nom, const QString &texte, int indice, const QString &aide)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(nom));
    b->setText(texte);
    b->setIcon(image(indice));
    b->setIconSize(QSize(20, 20));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFocusPolicy(Qt::NoFocus);
    // Hints: the short part before the bar, the long part after it.
    const qsizetype barre = aide.indexOf(QLatin1Char('|'));
    const QString court = barre < 0 ? aide : aide.left(barre);
    const QString longue = barre < 0 ? aide : aide.mid(barre + 1);
    b->setToolTip(court.isEmpty() ? longue : court);
    b->setStatusTip(longue);
    return b;
}

QLabel *valeur(QWidget *parent, const char *nom, bool blanc)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(nom));
    QFont f(QStringLiteral("Korvalis"));
    f.setPointSize(14);
    f.setBold(true);
    l->setFont(f);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(QFontMetrics(f).horizontalAdvance(QStringLiteral("G=-100.0dB  ")));
    l->setMinimumHeight(QFontMetrics(f).height() + 6);
    if (!blanc)
        l->setStyleSheet(QStringLiteral("QLabel { color: black; }"));
    return l;
}

void aideBoite(QWidget *w, const QString &aide)
{
    const qsizetype barre = aide.indexOf(QLatin1Char('|'));
    w->setToolTip(aide.left(barre));
    w->setStatusTip(aide.mid(barre + 1));
}

} // namespace

TBodeForm::TBodeForm(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("BodeForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Acquisition : Bode avec oscilloscope Sefram 5150"));
    mesure_ = std::make_unique<TMesureBode>(session().echange, this);

    auto *racine = new QVBoxLayout(this);
    racine->setSpacing(4);
    auto *barre = new QHBoxLayout;
    EnregistreBtn = bouton(this, "EnregistreBtn", QStringLiteral("Enregistrer"), 1,
                           QStringLiteral("Enregistre|Clic ou barre d'espace : enregistre la valeur courante "));
    StopBtn = bouton(this, "StopBtn", QStringLiteral("Stop"), 0,
                     QStringLiteral("|Arrêt de l'attente de la réponse de l'oscillo (et Reset)"));
    UndoBtn = bouton(this, "UndoBtn", QStringLiteral("Défaire"), 2, QStringLiteral("|Suppression de la dernière acquisition"));
    ResetDataBtn = bouton(this, "ResetDataBtn", QStringLiteral("R à Z"), 3, QStringLiteral("|Remise à zéro de l'acquisition"));
    AddDataBtn = bouton(this, "AddDataBtn", QStringLiteral("Ajouter"), 4,
                        QStringLiteral("|Ajoute les données dans la page courante de Korvalis"));
    RegSaveBtn = bouton(this, "RegSaveBtn", QStringLiteral("Korvalis"), 5, QStringLiteral("|Envoi des données courantes vers Korvalis"));
    ExitBtn = bouton(this, "ExitBtn", QStringLiteral("Quitter"), 7, QStringLiteral("|Fin du mode diagramme de Bode"));
    ContinuBtn = bouton(this, "ContinuBtn", QStringLiteral("On/Off"), 8, QStringLiteral("Mesure en continu"));
    ContinuBtn->setCheckable(true);
    BalayageBtn = bouton(this, "BalayageBtn", QStringLiteral("Balayage"), 10,
                         QStringLiteral("Balayage|Balayage automatique en fréquence avec un générateur programmable"));
    for (QToolButton *b : {EnregistreBtn, StopBtn, UndoBtn, ResetDataBtn, AddDataBtn, RegSaveBtn, ExitBtn, ContinuBtn,
                           BalayageBtn})
        barre->addWidget(b);
    barre->addStretch();
    racine->addLayout(barre);
    StopBtn->setEnabled(false);

    PanelErreur = new QLabel(this);
    PanelErreur->setObjectName(QStringLiteral("PanelErreur"));
    PanelErreur->setStyleSheet(QStringLiteral("QLabel { color: red; font-weight: bold; }"));
    PanelErreur->setAlignment(Qt::AlignCenter);
    PanelErreur->setWordWrap(true);
    PanelErreur->hide();
    racine->addWidget(PanelErreur);

    auto *boites = new QHBoxLayout;
    const QString aideGrandeur = QStringLiteral("Cliquer ici|cliquer pour modifier la grandeur à mesurer");
    GroupBox1 = new QGroupBox(QStringLiteral("Fréquence"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    aideBoite(GroupBox1, QStringLiteral("Cliquer ici|cliquer pour modifier les options liées à la fréquence"));
    auto *lFreq = new QGridLayout(GroupBox1);
    LabelFreq = valeur(GroupBox1, "LabelFreq", true);
    EditMaxi = new TFloatEdit(GroupBox1);
    EditMaxi->setObjectName(QStringLiteral("EditMaxi"));
    EditMaxi->setNomUnite(QStringLiteral("Hz"));
    EditMaxi->setMinValue(100);
    EditMaxi->setMaxValue(1000000);
    EditMaxi->SetValue(1000);
    EditMini = new TFloatEdit(GroupBox1);
    EditMini->setObjectName(QStringLiteral("EditMini"));
    EditMini->setNomUnite(QStringLiteral("Hz"));
    EditMini->setMinValue(1);
    EditMini->setMaxValue(1000);
    EditMini->SetValue(100);
    logCB = new QCheckBox(QStringLiteral("Axe logarithmique"), GroupBox1);
    logCB->setObjectName(QStringLiteral("logCB"));
    lFreq->addWidget(LabelFreq, 0, 0, 1, 2);
    lFreq->addWidget(EditMini, 1, 0);
    lFreq->addWidget(EditMaxi, 1, 1);
    lFreq->addWidget(logCB, 2, 0, 1, 2);
    boites->addWidget(GroupBox1);

    auto boite = [&](QGroupBox *&g, const char *nomBoite, const QString &titre, QLabel *&l, const char *nomLabel,
                     bool blanc) {
        g = new QGroupBox(titre, this);
        g->setObjectName(QLatin1String(nomBoite));
        aideBoite(g, aideGrandeur);
        auto *lay = new QVBoxLayout(g);
        l = valeur(g, nomLabel, blanc);
        lay->addWidget(l);
        lay->addStretch();
        boites->addWidget(g);
    };
    boite(GroupBox2, "GroupBox2", QStringLiteral("Gain"), LabelGain, "LabelGain", true);
    boite(GroupBox3, "GroupBox3", QStringLiteral("Phase"), LabelPhase, "LabelPhase", true);
    boite(GroupBox4, "GroupBox4", QStringLiteral("Voie 1"), Label1, "Label1", false);
    boite(GroupBox5, "GroupBox5", QStringLiteral("Voie 2"), Label2, "Label2", false);
    NumVoieRG = new TGroupeChoix(QStringLiteral("Voie de référence"), 1, this);
    NumVoieRG->setObjectName(QStringLiteral("NumVoieRG"));
    NumVoieRG->setItems({QStringLiteral("CH1"), QStringLiteral("CH2")});
    NumVoieRG->setItemIndex(0);
    boites->addWidget(NumVoieRG);
    boites->addStretch();
    racine->addLayout(boites);

    Oscillo = new TZoneDessin(this);
    Oscillo->setObjectName(QStringLiteral("Oscillo"));
    Oscillo->dessine = [this](QPainter &p, const QRect &r) { dessineGraphe(p, r); };
    Oscillo->setMinimumHeight(220);
    PaintBox1 = new TZoneDessin(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->dessine = [this](QPainter &p, const QRect &r) { dessineOscillo(p, r); };
    PaintBox1->setMinimumHeight(140);
    racine->addWidget(Oscillo, 3);
    racine->addWidget(PaintBox1, 2);

    // The sweep: its status bar appears with the first sweep and keeps its last text.
    balayage_ = new TBalayageFenetre(this);
    BarreEtat = new QWidget(this);
    BarreEtat->setObjectName(QStringLiteral("BarreEtat"));
    auto *etat = new QHBoxLayout(BarreEtat);
    etat->setContentsMargins(0, 0, 0, 0);
    LabelEtat = new QLabel(BarreEtat);
    LabelEtat->setObjectName(QStringLiteral("LabelEtat"));
    LabelEtat->setFrameShape(QFrame::Panel);
    LabelEtat->setFrameShadow(QFrame::Sunken);
    LabelEtat->setMinimumWidth(100);
    LabelEtat->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    etat->addWidget(LabelEtat, 1);
    etat->addWidget(balayage_->barre());
    BarreEtat->hide();
    racine->addWidget(BarreEtat);
    balayage_->texteEtat = [this](const QString &t) {
        LabelEtat->setText(t);
        LabelEtat->setToolTip(t);
    };
    balayage_->pointEnregistre = [this] {
        Oscillo->update();
        majBoutons();
    };
    balayage_->pompeFenetre = [this] { pompe(); };
    balayage_->etatChange = [this](bool enCours) {
        if (enCours) {
            arreteContinu();
            BarreEtat->show();
        }
        NumVoieRG->setEnabled(!enCours);
        StopBtn->setEnabled(enCours);
        majBoutons();
    };

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);

    // Creation, in order: the graphs, the page dialog, the channels, the settings, the buffers.
    Graphe.couleurFond = Qt::white;
    GrapheOsc.couleurFond = Qt::white;
    ConstanteDlg_ = new TConstanteDlg(this);
    InitGrapheBode(Graphe);
    litReglages();
    majBoutons();

    connect(EnregistreBtn, &QToolButton::clicked, this, &TBodeForm::EnregistreBtnClick);
    connect(BalayageBtn, &QToolButton::clicked, this, &TBodeForm::BalayageBtnClick);
    connect(StopBtn, &QToolButton::clicked, this, &TBodeForm::StopBtnClick);
    connect(UndoBtn, &QToolButton::clicked, this, &TBodeForm::UndoBtnClick);
    connect(ResetDataBtn, &QToolButton::clicked, this, &TBodeForm::ResetDataBtnClick);
    connect(AddDataBtn, &QToolButton::clicked, this, &TBodeForm::AddDataBtnClick);
    connect(RegSaveBtn, &QToolButton::clicked, this, &TBodeForm::RegSaveBtnClick);
    connect(ExitBtn, &QToolButton::clicked, this, &TBodeForm::ExitBtnClick);
    connect(ContinuBtn, &QToolButton::clicked, this, &TBodeForm::ContinuBtnClick);
    connect(Timer1, &QTimer::timeout, this, &TBodeForm::Timer1Timer);
    connect(logCB, &QCheckBox::clicked, this, &TBodeForm::logCBClick);
    connect(EditMini, &QLineEdit::textChanged, this, [this] { EditMaxi->setMinValue(EditMini->Value() * 10); });

    // The window sees the key presses (the space bar) before its controls, and the clicks on
    // the value boxes.
    for (QWidget *w : findChildren<QWidget *>())
        if (w->window() == this)
            w->installEventFilter(this);
    setWindowState(Qt::WindowMaximized);
    FormActivate();
}

TBodeForm::~TBodeForm()
{
    Timer1->stop();
    mesure_->forceArret();
    ecritReglages();
}

TSessionInstrument &TBodeForm::session()
{
    if (TSessionInstrument *s = SessionInstrument())
        return *s;
    if (!sessionPropre_)
        sessionPropre_ = std::make_unique<TSessionInstrument>();
    return *sessionPropre_;
}

int TBodeForm::execute(QDialog *d)
{
    return executeDialogue ? executeDialogue(d) : d->exec();
}

// ---------------------------------------------------------------- settings

void TBodeForm::litReglages()
{
    TReglagesBode r;
    const TInfosPage infos = ConstanteDlg_->infos();
    r.nomConstante = infos.parametre.nom;
    r.uniteConstante = infos.parametre.unite;
    const Tvoie &f = Graphe.voie[VoieFrequence], &g = Graphe.voie[VoieGain], &p = Graphe.voie[VoiePhase];
    r.maxiF = f.maxi;
    r.miniF = f.mini;
    r.logX = f.AxeLog;
    r.maxiGain = g.maxi;
    r.miniGain = g.mini;
    auto entier = [](const QColor &c) { return quint32(c.red() | (c.green() << 8) | (c.blue() << 16)); };
    auto couleur = [](quint32 v) { return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF)); };
    r.couleurG = entier(CouleurVoie[VoieGain]);
    r.logY = g.AxedB;
    r.couleurP = entier(CouleurVoie[VoiePhase]);
    r.degre = angleEnDegre;
    r.maxiPhase = p.maxi;
    r.miniPhase = p.mini;
    r.ref = NumVoieRG->itemIndex() + 1;
    ChargeReglagesBode(FichierReglagesBode(), r);

    ConstanteDlg_->NomConstEdit->setText(r.nomConstante);
    ConstanteDlg_->UniteConstEdit->setText(r.uniteConstante);
    Tvoie &fm = Graphe.voie[VoieFrequence], &gm = Graphe.voie[VoieGain], &pm = Graphe.voie[VoiePhase];
    fm.maxi = r.maxiF;
    fm.mini = r.miniF;
    fm.AxeLog = r.logX;
    gm.maxi = r.maxiGain;
    gm.mini = r.miniGain;
    CouleurVoie[VoieGain] = couleur(r.couleurG);
    gm.AxedB = r.logY;
    CouleurVoie[VoiePhase] = couleur(r.couleurP);
    angleEnDegre = r.degre;
    UnitePhase(Graphe);
    pm.maxi = r.maxiPhase;
    pm.mini = r.miniPhase;
    NumVoieRG->setItemIndex(r.ref - 1);
    // The box starts unchecked whatever the axis read.
    logCB->setChecked(false);
}

void TBodeForm::ecritReglages()
{
    TReglagesBode r;
    const Tvoie &f = Graphe.voie[VoieFrequence], &g = Graphe.voie[VoieGain], &p = Graphe.voie[VoiePhase];
    auto entier = [](const QColor &c) { return quint32(c.red() | (c.green() << 8) | (c.blue() << 16)); };
    r.maxiF = f.maxi;
    r.miniF = f.mini;
    r.logX = f.AxeLog;
    r.maxiGain = g.maxi;
    r.miniGain = g.mini;
    r.couleurG = entier(CouleurVoie[VoieGain]);
    r.logY = g.AxedB;
    r.couleurP = entier(CouleurVoie[VoiePhase]);
    r.degre = angleEnDegre;
    r.maxiPhase = p.maxi;
    r.miniPhase = p.mini;
    r.ref = NumVoieRG->itemIndex() == 1 ? 2 : 1;
    SauveReglagesBode(FichierReglagesBode(), r);   // a failure is ignored; the old file stays whole
}

// ---------------------------------------------------------------- display

void TBodeForm::couleurBoite(QGroupBox *b, QLabel *l, int couleur)
{
    const QColor c = CouleurVoie[size_t(couleur)];
    l->setStyleSheet(QStringLiteral("QLabel { color: white; background-color: %1; border-radius: 3px; }").arg(c.name()));
    b->setStyleSheet(QStringLiteral("QGroupBox#%1 { color: %2; font-weight: bold; }").arg(b->objectName(), c.name()));
}

void TBodeForm::FormActivate()
{
    couleurBoite(GroupBox1, LabelFreq, VoieFrequence);
    couleurBoite(GroupBox2, LabelGain, VoieGain);
    UnitePhase(Graphe);
    couleurBoite(GroupBox3, LabelPhase, VoiePhase);
}

void TBodeForm::majBoutons()
{
    const int n = Graphe.NbrePoints;
    // During a sweep the points are the sweep's: nothing else records or removes them.
    const bool libre = !balayageEnCours();
    EnregistreBtn->setEnabled(libre && n < NbrePointsBode);
    UndoBtn->setVisible(n >= 1);
    ResetDataBtn->setVisible(n >= 1);
    AddDataBtn->setVisible(n >= 2);
    RegSaveBtn->setVisible(n >= 4);
    for (QToolButton *b : {UndoBtn, ResetDataBtn, AddDataBtn, RegSaveBtn, ContinuBtn, BalayageBtn})
        b->setEnabled(libre);
}

void TBodeForm::afficheErreur(const QString &texte)
{
    PanelErreur->setText(texte);
    PanelErreur->show();
}

void TBodeForm::effaceErreur() { PanelErreur->hide(); }

void TBodeForm::stopActif(bool actif) { StopBtn->setEnabled(actif || balayageEnCours()); }

void TBodeForm::arreteContinu()
{
    Timer1->stop();
    ContinuBtn->setChecked(false);
    ContinuBtn->setIcon(image(8));
}

void TBodeForm::message(const QString &texte) { Inform(texte); }

void TBodeForm::curseurAttente(bool actif)
{
    if (actif)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TBodeForm::pompe()
{
    QCoreApplication::processEvents();
    if (surPompe)
        surPompe();
}

void TBodeForm::resultats()
{
    const TCalculBode &c = mesure_->calcul;
    ResultatsVersGraphe(c, Graphe);
    pointCourant_ = true;
    LabelFreq->setText(Graphe.voie[VoieFrequence].AffVoltmetre());
    LabelGain->setText(Graphe.voie[VoieGain].AffVoltmetre());
    LabelPhase->setText(Graphe.voie[VoiePhase].AffVoltmetre());
    QString v, u;
    Tension.formatValeurEtUnite(c.VoieOsc[1].valeurEff, v, u);
    Label1->setText(v + QLatin1Char(' ') + u);
    Tension.formatValeurEtUnite(c.VoieOsc[2].valeurEff, v, u);
    Label2->setText(v + QLatin1Char(' ') + u);
    Oscillo->update();
    PaintBox1->update();
}

void TBodeForm::dessineGraphe(QPainter &p, const QRect &r)
{
    Tvoie &ph = Graphe.voie[VoiePhase];
    PhaseAuQuartDeTour(ph.mini, ph.maxi, angleEnDegre);
    Tgraphe a = GrapheAffiche(Graphe);
    a.Canvas = &p;
    a.couleurFond = Qt::white;
    const int marge = QFontMetrics(PoliceGraphe(), p.device()).horizontalAdvance(QStringLiteral("-100 dB")) + 6;
    TRectangle zone{r.left() + marge, r.top(), r.right() + 1 - marge, r.bottom() + 1};
    p.fillRect(r, Qt::white);
    a.DrawG(zone);
    // The scale of the gain on the left, of the phase on the right, in their colours.
    const TRectangle &c = a.LimiteCourbe;
    p.setFont(PoliceGraphe());
    const QFontMetrics fm(p.font(), p.device());
    auto echelle = [&](int j, bool gauche) {
        const Tvoie &v = a.voie[size_t(j)];
        p.setPen(CouleurVoie[size_t(j)]);
        for (int i = 0; i <= 4; ++i) {
            const double x = v.mini + (v.maxi - v.mini) * i / 4;
            const QString t = FormatGeneral(x, 3) + QLatin1Char(' ') + v.Unite;
            const int y = v.GrandeurToEcran(x) + fm.ascent() / 2;
            const int xt = gauche ? c.left - 3 - fm.horizontalAdvance(t) : c.right + 3;
            p.drawText(xt, std::clamp(y, c.top + fm.ascent(), c.bottom), t);
        }
    };
    echelle(VoieGain, true);
    echelle(VoiePhase, false);
    // The recorded points carry no uncertainty: each is marked by a dot of its channel's colour.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    const int rayon = a.dimPoint + 2;
    for (int j : {VoieGain, VoiePhase}) {
        p.setBrush(CouleurVoie[size_t(j)]);
        for (int i = 0; i < std::clamp(a.NbrePoints, 0, NbrePointsBode); ++i) {
            const int x = a.voie[VoieFrequence].GrandeurToEcran(a.voie[VoieFrequence].valeur[size_t(i)]);
            const int y = a.voie[size_t(j)].GrandeurToEcran(a.voie[size_t(j)].valeur[size_t(i)]);
            if (x >= c.left && x <= c.right && y >= c.top && y <= c.bottom)
                p.drawEllipse(QPoint(x, y), rayon, rayon);
        }
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    if (pointCourant_) {
        // The current point of the gain and of the phase, a filled square.
        const int d = a.dimPoint + 2;
        const int x = a.voie[VoieFrequence].GrandeurToEcran(a.voie[VoieFrequence].valeurCourante);
        for (int j : {VoieGain, VoiePhase}) {
            const int y = a.voie[size_t(j)].GrandeurToEcran(a.voie[size_t(j)].valeurCourante);
            if (x >= 0 && y >= 0)
                p.fillRect(QRect(x - d, y - d, 2 * d + 1, 2 * d + 1), CouleurVoie[0]);
        }
    }
}

void TBodeForm::dessineOscillo(QPainter &p, const QRect &r)
{
    const TCalculBode &c = mesure_->calcul;
    GrapheOsc.NbrePoints = NbreEchantillonsBode;
    GrapheOsc.MaxY = 32768;
    GrapheOsc.MinY = -32768;
    for (int n = 1; n <= 2; ++n) {
        std::copy_n(c.VoieOsc[size_t(n)].Valeur.begin(), NbreEchantillonsBode, GrapheOsc.voie[size_t(n)].begin());
        GrapheOsc.posX[size_t(n)] = {c.marques[size_t(n)].debut, c.marques[size_t(n)].fin};
        GrapheOsc.posY[size_t(n)] = {c.marques[size_t(n)].niveau, 0};
    }
    GrapheOsc.Canvas = &p;
    GrapheOsc.DrawG(TRectangle{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    GrapheOsc.Canvas = nullptr;
}

QImage TBodeForm::imageGraphe() { return Oscillo->image(); }
QImage TBodeForm::imageOscillo() { return PaintBox1->image(); }

// ---------------------------------------------------------------- actions

void TBodeForm::lance()
{
    GrapheVersCalcul(Graphe, mesure_->calcul);
    mesure_->Mesure(NumVoieRG->itemIndex() == 1 ? 2 : 1);
    if (rstEnAttente_) {
        rstEnAttente_ = false;
        try {
            session().echange.EnvoieCommandeRapide("*RST");
        } catch (const std::exception &e) {
            auto *s = dynamic_cast<const EserieError *>(&e);
            Inform(s ? s->texte : QString::fromUtf8(e.what()));
        }
    }
    if (fermerApresMesure_) {
        fermerApresMesure_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

void TBodeForm::EnregistreBtnClick()
{
    if (!EnregistreBtn->isEnabled())
        return;
    if (mesure_->mesureEnCours()) {
        // A single measurement is under way: the record waits for none, it is refused. In
        // continuous mode the values of the last measurement are recorded at once.
        if (!ContinuBtn->isChecked())
            return;
    } else if (!Timer1->isActive()) {
        lance();
    }
    EnregistrePointBode(Graphe);
    Oscillo->update();
    majBoutons();
}

void TBodeForm::StopBtnClick()
{
    if (balayageEnCours()) {
        // The sweep ends after the exchange in progress; the instrument is not reset.
        balayage_->arrete();
        StopBtn->setEnabled(false);
        return;
    }
    arretAcquisition = true;
    StopBtn->setEnabled(false);
    arreteContinu();
    // The reset goes once the read has let go of the line.
    if (mesure_->mesureEnCours()) {
        rstEnAttente_ = true;
        return;
    }
    try {
        session().echange.EnvoieCommandeRapide("*RST");
    } catch (const std::exception &e) {
        auto *s = dynamic_cast<const EserieError *>(&e);
        Inform(s ? s->texte : QString::fromUtf8(e.what()));
    }
}

void TBodeForm::UndoBtnClick()
{
    if (Graphe.NbrePoints >= 1)
        --Graphe.NbrePoints;
    Oscillo->update();
    majBoutons();
}

void TBodeForm::ResetDataBtnClick()
{
    if (!Confirm(QStringLiteral("Suppression des données courantes")))
        return;
    Graphe.NbrePoints = 0;
    Oscillo->update();
    majBoutons();
}

void TBodeForm::RegSaveBtnClick()
{
    if (execute(ConstanteDlg_) != QDialog::Accepted)
        return;
    QString texte;
    Tenvoi ordre;
    {
        TCurseurAttente sablier;
        Graphe.tri();
        TInfosPage infos = ConstanteDlg_->infos();
        infos.identification = session().IdentiteScope;
        ordre = ConstanteDlg_->ordre();
        texte = TexteKorvalisBode(Graphe, infos, CheminProgramme());
    }
    TFormDDE &dde = dde_ ? *dde_ : session().lienKorvalis();
    dde.Execute(ordre, texte);
    ConstanteDlg_->setChoix(1);
    Oscillo->update();
}

void TBodeForm::AddDataBtnClick()
{
    QString texte;
    {
        TCurseurAttente sablier;
        Graphe.tri();
        texte = TexteAjoutBode(Graphe);
    }
    TFormDDE &dde = dde_ ? *dde_ : session().lienKorvalis();
    dde.Execute(ePlus, texte);
    Oscillo->update();
}

void TBodeForm::ExitBtnClick()
{
    mesure_->forceArret();
    arreteContinu();
    close();
}

void TBodeForm::ContinuBtnClick()
{
    if (ContinuBtn->isChecked()) {
        ContinuBtn->setIcon(image(9));
        if (!StopBtn->isEnabled() && !Timer1->isActive() && !mesure_->mesureEnCours())
            Timer1Timer();
    } else {
        ContinuBtn->setIcon(image(8));
    }
}

void TBodeForm::Timer1Timer()
{
    Timer1->stop();
    lance();
    if (ContinuBtn->isChecked() && !fermetureAcceptee_)
        Timer1->start();
}

void TBodeForm::GainClick()
{
    if (!VoieBodeDlg_)
        VoieBodeDlg_ = new TVoieBodeDlg(Graphe, this);
    if (execute(VoieBodeDlg_) != QDialog::Accepted)
        return;
    couleurBoite(GroupBox2, LabelGain, VoieGain);
    Oscillo->update();
    majBoutons();
}

void TBodeForm::PhaseClick()
{
    if (!VoieBodeDlg_)
        VoieBodeDlg_ = new TVoieBodeDlg(Graphe, this);
    if (execute(VoieBodeDlg_) != QDialog::Accepted)
        return;
    UnitePhase(Graphe);
    couleurBoite(GroupBox3, LabelPhase, VoiePhase);
    Oscillo->update();
    majBoutons();
}

void TBodeForm::logCBClick()
{
    Graphe.voie[VoieFrequence].AxeLog = logCB->isChecked();
    Oscillo->update();
}

bool TBodeForm::balayageEnCours() const { return balayage_ && balayage_->enCours(); }

void TBodeForm::BalayageBtnClick()
{
    if (balayageEnCours() || mesure_->mesureEnCours())
        return;
    arreteContinu();
    TReglagesBalayage r;
    if (!balayage_->demande(r, [this](TBalayageDlg &d) { return execute(&d); }))
        return;
    lanceBalayage(r);
}

void TBodeForm::lanceBalayage(const TReglagesBalayage &r)
{
    if (balayageEnCours() || mesure_->mesureEnCours())
        return;
    arreteContinu();
    TPointBalayageBode point(*mesure_, Graphe, NumVoieRG->itemIndex() == 1 ? 2 : 1, this);
    balayage_->execute(r, constructeur, &session().echange, session().rigol(), point);
    Oscillo->update();
    majBoutons();
    if (fermerApresBalayage_) {
        fermerApresBalayage_ = false;
        QTimer::singleShot(0, this, [this] { close(); });
    }
}

// ---------------------------------------------------------------- events

bool TBodeForm::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (k->key() == Qt::Key_Space && !k->isAutoRepeat() && EnregistreBtn->isEnabled()) {
            EnregistreBtnClick();
            return true;
        }
    } else if (e->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton
               && !balayageEnCours()) {
        if (obj == GroupBox2 || obj == LabelGain) {
            GainClick();
            return true;
        }
        if (obj == GroupBox3 || obj == LabelPhase || obj == Label1 || obj == Label2) {
            PhaseClick();
            return true;
        }
    } else if (e->type() == QEvent::MouseButtonPress && obj == EditMaxi) {
        EditMini->setMaxValue(EditMaxi->Value() / 10);
    } else if (e->type() == QEvent::FocusOut && obj == EditMini) {
        QString t = EditMini->text();
        t.remove(QStringLiteral("Hz"));
        const double v = ParseNumber(t);
        if (std::isfinite(v))
            EditMini->SetValue(v);
    } else if (e->type() == QEvent::FocusOut && obj == EditMaxi) {
        FormActivate();
    }
    return QWidget::eventFilter(obj, e);
}

bool TBodeForm::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    if (e->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (k->key() == Qt::Key_Space && !k->isAutoRepeat() && EnregistreBtn->isEnabled()) {
            EnregistreBtnClick();
            return true;
        }
    }
    return QWidget::event(e);
}

void TBodeForm::closeEvent(QCloseEvent *e)
{
    if (balayageEnCours()) {
        // The sweep stops first; the window closes once it has returned.
        balayage_->arrete();
        mesure_->forceArret();
        fermerApresBalayage_ = true;
        e->ignore();
        return;
    }
    mesure_->forceArret();
    arreteContinu();
    if (mesure_->mesureEnCours()) {
        // The read ends at its next step; the window closes once the measurement has let go.
        fermerApresMesure_ = true;
        e->ignore();
        return;
    }
    if (Graphe.NbrePoints > 0 && !Confirm(QStringLiteral("Abandon"))) {
        e->ignore();
        return;
    }
    fermetureAcceptee_ = true;
    session().SetMode(mNone);
    e->accept();
}
