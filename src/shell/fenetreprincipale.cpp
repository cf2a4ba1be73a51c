#include "shell/fenetreprincipale.h"

#include "measure/unites.h"
#include "shell/apropos.h"
#include "shell/comcfgdlg.h"

#include <QApplication>
#include <algorithm>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QMap>
#include <QProgressBar>
#include <QScreen>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolButton>

namespace {
TAgilentFormMain *g_main = nullptr;

QMap<int, FabriqueFenetre> &fabriques()
{
    static QMap<int, FabriqueFenetre> m;
    return m;
}
} // namespace

TAgilentFormMain *AgilentFormMain() { return g_main; }

QFont PoliceSegoe()
{
    // Where Segoe UI is missing, the fonts nearest to its widths stand in before the
    // desktop's default sans, usually much wider.
    static const bool substitue = [] {
        QFont::insertSubstitutions(QStringLiteral("Segoe UI"),
                                   {QStringLiteral("Selawik"), QStringLiteral("Noto Sans"), QStringLiteral("Open Sans"),
                                    QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")});
        return true;
    }();
    (void)substitue;
    QFont f(QStringLiteral("Segoe UI"));
    f.setPixelSize(13);
    return f;
}

void EnregistreFenetre(TFenetre f, FabriqueFenetre fabrique) { fabriques()[int(f)] = std::move(fabrique); }

TAgilentFormMain::TAgilentFormMain(QWidget *parent) : QWidget(parent)
{
    g_main = this;
    setWindowTitle(QStringLiteral("Acquisition avec oscilloscopes RS232 pour Korvalis"));
    setFont(PoliceSegoe());

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("BoutonPanel"));
    boutonPanel_ = panel;
    struct Def {
        QToolButton **btn;
        const char *nom;
        int x;
        QString texte;
        QString aide;
        QStyle::StandardPixmap image;
    };
    const Def defs[] = {
        {&ComBtn, "ComBtn", 4, QStringLiteral("Voie série"), QStringLiteral("Paramètrage de la voie série"),
         QStyle::SP_DriveNetIcon},
        {&TestBtn, "TestBtn", 100, QStringLiteral("Test"), QStringLiteral("Paramètrage de la voie série"),
         QStyle::SP_BrowserReload},
        {&MultBtn, "MultBtn", 197, QStringLiteral("Multimètre"),
         QStringLiteral("Acquisition  en point par point fonction de la fréquence "), QStyle::SP_FileDialogDetailedView},
        {&OscBtn, "OscBtn", 294, QStringLiteral("Oscilloscope"), QStringLiteral("Acquisition des courbes de l'oscilloscope"),
         QStyle::SP_ComputerIcon},
        {&AboutBtn, "AboutBtn", 391, QStringLiteral("A propos..."), QString(), QStyle::SP_MessageBoxInformation},
        {&ExitBtn, "ExitBtn", 488, QStringLiteral("Quitter"), QString(), QStyle::SP_DialogCloseButton},
    };
    for (const Def &d : defs) {
        auto *b = new QToolButton(panel);
        b->setObjectName(QLatin1String(d.nom));
        b->setText(d.texte);
        b->setIcon(style()->standardIcon(d.image));
        b->setIconSize(QSize(20, 20));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(false);
        b->setStatusTip(d.aide);   // shown on the help line, never as a tooltip
        *d.btn = b;
    }
    MultBtn->hide();
    OscBtn->hide();

    auto *aidePanel = new QWidget(this);
    aidePanel->setObjectName(QStringLiteral("AidePanel"));
    aidePanel_ = aidePanel;
    AideLabel = new QLabel(aidePanel);
    AideLabel->setObjectName(QStringLiteral("AideLabel"));
    AideLabel->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    ProgressBar1 = new QProgressBar(aidePanel);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setValue(0);
    place();

    TimerTest.setInterval(200);
    TimerTest.setSingleShot(true);
    connect(&TimerTest, &QTimer::timeout, this, &TAgilentFormMain::TimerTestTimer);

    connect(ComBtn, &QToolButton::clicked, this, &TAgilentFormMain::ComCfgClick);
    connect(TestBtn, &QToolButton::clicked, this, &TAgilentFormMain::TestBtnClick);
    connect(MultBtn, &QToolButton::clicked, this, &TAgilentFormMain::MultBtnClick);
    connect(OscBtn, &QToolButton::clicked, this, &TAgilentFormMain::OscBtnClick);
    connect(AboutBtn, &QToolButton::clicked, this, &TAgilentFormMain::AboutItemClick);
    connect(ExitBtn, &QToolButton::clicked, this, &TAgilentFormMain::ExitItemClick);

    // FormCreate
    noyau.setVue(this);
    noyau.session.echange.setProgression(this);
    qApp->installEventFilter(this);
    noyau.session.LitRegistre();

    AboutBox = new TAboutBox(this);
    ComCfgDlg = new TComCfgDlg(noyau, this);
}

void TAgilentFormMain::place()
{
    // The bar keeps its 90 x 50 buttons at their places while their captions fit; a font
    // that needs more enlarges every button alike and the window with them.
    const QList<QToolButton *> boutons = {ComBtn, TestBtn, MultBtn, OscBtn, AboutBtn, ExitBtn};
    QSize bouton(90, 50);
    for (QToolButton *b : boutons)
        bouton = bouton.expandedTo(b->sizeHint());
    static const int gauche[] = {4, 100, 197, 294, 391, 488};
    const bool standard = bouton.width() == 90;
    for (int i = 0; i < boutons.size(); ++i)
        boutons[i]->setGeometry(standard ? gauche[i] : 4 + i * (bouton.width() + 7), 4, bouton.width(), bouton.height());
    const int largeur = boutons.last()->geometry().right() + 1 + 12;
    const int hautPanel = bouton.height() + 10;
    boutonPanel_->setGeometry(0, 0, largeur, hautPanel);
    const int hautAide = std::max(26, AideLabel->fontMetrics().height() + 8);
    aidePanel_->setGeometry(0, hautPanel, largeur, hautAide + 17);
    AideLabel->setGeometry(0, 0, largeur, hautAide);
    ProgressBar1->setGeometry(0, hautAide, largeur, 17);
    setFixedSize(largeur, hautPanel + hautAide + 17);
}

TAgilentFormMain::~TAgilentFormMain()
{
    // The mode windows are our children and die after this body: they must no longer report
    // their end to a main window whose members are gone.
    for (QObject *w : std::as_const(suivies_)) {
        w->removeEventFilter(this);
        disconnect(w, nullptr, this, nullptr);
    }
    suivies_.clear();
    qApp->removeEventFilter(this);
    noyau.setVue(nullptr);
    noyau.session.echange.setProgression(nullptr);
    if (g_main == this)
        g_main = nullptr;
}

void TAgilentFormMain::setAide(const QString &texte)
{
    AideLabel->setText(texte);
    AideLabel->repaint();
}

void TAgilentFormMain::setTitre(const QString &texte) { setWindowTitle(texte); }
void TAgilentFormMain::setComVisible(bool v) { ComBtn->setVisible(v); }
void TAgilentFormMain::setOscVisible(bool v) { OscBtn->setVisible(v); }
void TAgilentFormMain::setMultVisible(bool v) { MultBtn->setVisible(v); }
void TAgilentFormMain::setDetectionPossible(bool possible)
{
    ComBtn->setEnabled(possible);
    TestBtn->setEnabled(possible);
}
void TAgilentFormMain::setMaximum(int max) { ProgressBar1->setMaximum(max > 0 ? max : 1); }
void TAgilentFormMain::setPosition(int pos) { ProgressBar1->setValue(qBound(0, pos, ProgressBar1->maximum())); }

bool TAgilentFormMain::event(QEvent *e)
{
    if (e->type() == QEvent::FontChange && boutonPanel_)
        place();
    if (e->type() == QEvent::WindowActivate && noyau.PremiereFois) {
        noyau.PremiereFois = false;
        TimerTest.start();
    } else if (e->type() == QEvent::Show && noyau.PremiereFois) {
        // Without a window manager the window may never become active: start anyway.
        QTimer::singleShot(1000, this, [this] {
            if (noyau.PremiereFois) {
                noyau.PremiereFois = false;
                TimerTest.start();
            }
        });
    }
    return QWidget::event(e);
}

void TAgilentFormMain::TimerTestTimer()
{
    TimerTest.stop();
    noyau.ResetOscillo();
}

bool TAgilentFormMain::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::Hide && !e->spontaneous() && suivies_.contains(obj))
        finDeFenetre(obj);
    if (e->type() == QEvent::StatusTip && obj->isWidgetType()) {
        AfficheAide(static_cast<QStatusTipEvent *>(e)->tip());
        return true;
    }
    return QWidget::eventFilter(obj, e);
}

QWidget *TAgilentFormMain::fenetre(TFenetre f) const
{
    const int i = int(f);
    return (i > 0 && i < int(fenetres_.size())) ? fenetres_[i].data() : nullptr;
}

void TAgilentFormMain::AfficheAide(const QString &texte)
{
    if (noyau.session.AcquisitionEnCours != mNone
        && !fenetre(FenetreDuMode(noyau.session.AcquisitionEnCours, constructeur, modeleGDS)))
        noyau.session.AcquisitionEnCours = mNone;
    QWidget *w = fenetre(FenetreDuMode(noyau.session.AcquisitionEnCours, constructeur, modeleGDS));
    if (!texte.isEmpty()) {
        if (w)
            w->setWindowTitle(texte);
        else
            AideLabel->setText(texte);
        return;
    }
    switch (noyau.session.AcquisitionEnCours) {
    case mOsc:
        if (w)
            w->setWindowTitle(QStringLiteral("Acquisition avec ") + noyau.session.IdentiteScope);
        break;
    case mMult:
    case mMultSefram:
        if (w)
            w->setWindowTitle(QStringLiteral("Acquisition : Bode avec ") + noyau.session.IdentiteScope);
        break;
    default:
        AideLabel->setText(noyau.session.IdentiteScope);
    }
}

void TAgilentFormMain::setFocusMain()
{
    QWidget *w = fenetre(FenetreDuMode(noyau.session.AcquisitionEnCours, constructeur, modeleGDS));
    if (!w)
        noyau.session.AcquisitionEnCours = mNone;
    if (!w)
        w = this;
    if (!w->isVisible())
        w->show();
    w->raise();
    if (!w->isActiveWindow())
        w->activateWindow();
}

QWidget *TAgilentFormMain::ouvre(TFenetre f)
{
    const int i = int(f);
    if (i <= 0 || i >= int(fenetres_.size()))
        return nullptr;
    if (!fenetres_[i]) {
        auto it = fabriques().constFind(i);
        if (it == fabriques().constEnd() || !*it)
            return nullptr;
        fenetres_[i] = (*it)();
    }
    QWidget *w = fenetres_[i];
    if (w) {
        if (!suivies_.contains(w)) {
            suivies_.append(w);
            w->installEventFilter(this);
            connect(w, &QObject::destroyed, this, [this, w] {
                suivies_.removeAll(w);
                finDeFenetre(w);
            });
        }
        GardeDansEcran(w);
        w->show();
        w->raise();
        w->activateWindow();
    }
    return w;
}

void TAgilentFormMain::finDeFenetre(QObject *w)
{
    // The mode follows the window: once the window in use is closed or gone, no mode is in use.
    if (noyau.session.AcquisitionEnCours == mNone)
        return;
    const int i = int(FenetreDuMode(noyau.session.AcquisitionEnCours, constructeur, modeleGDS));
    if (i > 0 && i < int(fenetres_.size()) && (!fenetres_[i] || fenetres_[i].data() == w))
        noyau.SetMode(mNone);
}

void GardeDansEcran(QWidget *w)
{
    QScreen *ecran = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!ecran)
        return;
    const QRect zone = ecran->availableGeometry();
    QRect cadre = w->frameGeometry();
    if (cadre.width() > zone.width() || cadre.height() > zone.height())
        w->resize(std::min(w->width(), zone.width() - (cadre.width() - w->width())),
                  std::min(w->height(), zone.height() - (cadre.height() - w->height())));
    cadre = w->frameGeometry();
    const int x = std::clamp(cadre.left(), zone.left(), std::max(zone.left(), zone.right() - cadre.width() + 1));
    const int y = std::clamp(cadre.top(), zone.top(), std::max(zone.top(), zone.bottom() - cadre.height() + 1));
    w->move(w->pos() + QPoint(x - cadre.left(), y - cadre.top()));
}

void TAgilentFormMain::OscBtnClick()
{
    const TFenetre f = FenetreOscillo(constructeur);
    if (f == TFenetre::aucune)
        return;
    noyau.SetMode(mOsc);
    if (!ouvre(f)) {
        noyau.SetMode(mNone);   // no window in use: both buttons are offered again
        Inform(QStringLiteral("La fenêtre de l'oscilloscope n'est pas disponible dans cette version"));
    }
}

void TAgilentFormMain::MultBtnClick()
{
    const TFenetre f = FenetreMultimetre(constructeur, modeleGDS);
    if (f == TFenetre::aucune)
        return;
    noyau.SetMode(ModeMultimetre(constructeur, modeleGDS));
    if (!ouvre(f)) {
        noyau.SetMode(mNone);   // no window in use: both buttons are offered again
        Inform(f == TFenetre::bode ? QStringLiteral("La fenêtre Bode n'est pas disponible dans cette version")
                                   : QStringLiteral("La fenêtre du multimètre n'est pas disponible dans cette version"));
    }
}

void TAgilentFormMain::TestBtnClick() { noyau.ResetOscillo(); }

void TAgilentFormMain::ComCfgClick()
{
    if (noyau.session.detectionEnCours())
        return;   // the port belongs to the running detection
    noyau.NbreRS232 = noyau.session.nombrePortsPresents();
    const int port = noyau.session.VoieSerie.ComNumber();
    if (!noyau.session.portPresent(port) && noyau.NbreRS232 == 0)
        return;
    ComCfgDlg->Numero = port;
    ComCfgDlg->DTRcb->setChecked(noyau.session.reglages.avecDTR);
    ComCfgDlg->TraceCB->setChecked(noyau.session.reglages.avecTrace);
    ComCfgDlg->setVitesseChoisie(IndexVitesse(noyau.session.VoieSerie.Baud()));
    if (ComCfgDlg->exec() == QDialog::Accepted)
        noyau.session.appliqueConfiguration(ComCfgDlg->Numero, VitesseIndex(ComCfgDlg->vitesseChoisie()),
                                    ComCfgDlg->DTRcb->isChecked(), ComCfgDlg->TraceCB->isChecked());
    noyau.ResetOscillo();
}

void TAgilentFormMain::AboutItemClick() { AboutBox->exec(); }

void TAgilentFormMain::closeEvent(QCloseEvent *e)
{
    noyau.Fermeture();
    for (auto &w : fenetres_)
        if (w)
            w->close();
    e->accept();
    qApp->quit();
}
