#include "bode/voiebodedlg.h"

#include "bode/graphebode.h"
#include "export/groupechoix.h"
#include "link/parsenumber.h"
#include "measure/graphe.h"
#include "measure/unites.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

struct TCouleurNommee {
    const char16_t *nom;
    QRgb rgb;
};
const TCouleurNommee CouleursStandard[16] = {
    {u"Noir", 0x000000},   {u"Marron", 0x800000},  {u"Vert", 0x008000},    {u"Olive", 0x808000},
    {u"Bleu marine", 0x000080}, {u"Pourpre", 0x800080}, {u"Sarcelle", 0x008080}, {u"Gris", 0x808080},
    {u"Argent", 0xC0C0C0}, {u"Rouge", 0xFF0000},   {u"Citron vert", 0x00FF00}, {u"Jaune", 0xFFFF00},
    {u"Bleu", 0x0000FF},   {u"Fuchsia", 0xFF00FF}, {u"Turquoise", 0x00FFFF}, {u"Blanc", 0xFFFFFF},
};

QIcon pastille(const QColor &c)
{
    QPixmap p(16, 12);
    p.fill(c);
    QPainter pt(&p);
    pt.setPen(Qt::black);
    pt.drawRect(0, 0, 15, 11);
    return QIcon(p);
}

QLineEdit *texteLecture(QWidget *parent, const char *nom)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(nom));
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QToolButton *fleche(QWidget *parent, const char *nom, Qt::ArrowType sens)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(nom));
    b->setArrowType(sens);
    b->setAutoRaise(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// A read-only text with its up and down buttons, in a titled box.
QGroupBox *limite(QWidget *parent, const QString &titre, QLineEdit *&edit, const char *nomEdit, QToolButton *&haut,
                  const char *nomHaut, QToolButton *&bas, const char *nomBas)
{
    auto *g = new QGroupBox(titre, parent);
    auto *l = new QHBoxLayout(g);
    edit = texteLecture(g, nomEdit);
    auto *fleches = new QVBoxLayout;
    fleches->setSpacing(0);
    haut = fleche(g, nomHaut, Qt::UpArrow);
    bas = fleche(g, nomBas, Qt::DownArrow);
    fleches->addWidget(haut);
    fleches->addWidget(bas);
    l->addWidget(edit, 1);
    l->addLayout(fleches);
    return g;
}

QString texteNombre(double x) { return FormatGeneral(x, 6); }

} // namespace

void RemplitCouleurs(QComboBox *c)
{
    c->clear();
    for (const TCouleurNommee &n : CouleursStandard) {
        const QColor q = QColor::fromRgb(n.rgb);
        c->addItem(pastille(q), QString::fromUtf16(n.nom), q);
    }
}

void ChoisitCouleur(QComboBox *c, const QColor &couleur)
{
    for (int i = 0; i < c->count(); ++i)
        if (c->itemData(i).value<QColor>().rgb() == couleur.rgb()) {
            c->setCurrentIndex(i);
            return;
        }
    c->addItem(pastille(couleur), QString::number(couleur.red() | (couleur.green() << 8) | (couleur.blue() << 16)),
               couleur);
    c->setCurrentIndex(c->count() - 1);
}

QColor CouleurChoisie(const QComboBox *c)
{
    return c->currentIndex() >= 0 ? c->currentData().value<QColor>() : QColor(Qt::black);
}

TVoieBodeDlg::TVoieBodeDlg(Tgraphe &g, QWidget *parent) : QDialog(parent), g_(g)
{
    setObjectName(QStringLiteral("VoieBodeDlg"));
    setWindowTitle(QStringLiteral("Configuration du gain et de la phase"));
    auto *racine = new QVBoxLayout(this);
    auto *colonnes = new QHBoxLayout;
    racine->addLayout(colonnes);

    // The gain, left.
    auto *gauche = new QVBoxLayout;
    auto *gCouleurGain = new QGroupBox(QStringLiteral("Couleur gain"), this);
    auto *lCouleurGain = new QVBoxLayout(gCouleurGain);
    CouleurGain = new QComboBox(gCouleurGain);
    CouleurGain->setObjectName(QStringLiteral("CouleurGain"));
    RemplitCouleurs(CouleurGain);
    lCouleurGain->addWidget(CouleurGain);
    gauche->addWidget(gCouleurGain);

    auto *gAxe = new QGroupBox(QStringLiteral("Axe du gain"), this);
    auto *lAxe = new QVBoxLayout(gAxe);
    decibelCB = new QCheckBox(QStringLiteral("en décibel"), gAxe);
    decibelCB->setObjectName(QStringLiteral("decibelCB"));
    lAxe->addWidget(decibelCB);
    pages = new QStackedWidget(gAxe);
    auto *pageDB = new QWidget(pages);
    auto *lDB = new QVBoxLayout(pageDB);
    lDB->setContentsMargins(0, 0, 0, 0);
    lDB->addWidget(limite(pageDB, QStringLiteral("Gain maxi"), EditMaxidb, "EditMaxidb", MaxiSpinHaut, "MaxiSpinHaut",
                          MaxiSpinBas, "MaxiSpinBas"));
    lDB->addWidget(limite(pageDB, QStringLiteral("Gain mini"), EditMinidB, "EditMinidB", MiniSpinHaut, "MiniSpinHaut",
                          MiniSpinBas, "MiniSpinBas"));
    auto *pageLin = new QWidget(pages);
    auto *lLin = new QVBoxLayout(pageLin);
    lLin->setContentsMargins(0, 0, 0, 0);
    auto *gMaxi = new QGroupBox(QStringLiteral("Gain maxi"), pageLin);
    auto *lMaxi = new QVBoxLayout(gMaxi);
    EditMaxi = new QLineEdit(gMaxi);
    EditMaxi->setObjectName(QStringLiteral("EditMaxi"));
    lMaxi->addWidget(EditMaxi);
    lLin->addWidget(gMaxi);
    lLin->addStretch();
    pages->addWidget(pageDB);
    pages->addWidget(pageLin);
    lAxe->addWidget(pages);
    gauche->addWidget(gAxe);
    gauche->addStretch();
    colonnes->addLayout(gauche);

    // The phase, right.
    auto *droite = new QVBoxLayout;
    auto *gCouleurPhase = new QGroupBox(QStringLiteral("Couleur phase"), this);
    auto *lCouleurPhase = new QVBoxLayout(gCouleurPhase);
    CouleurPhase = new QComboBox(gCouleurPhase);
    CouleurPhase->setObjectName(QStringLiteral("CouleurPhase"));
    RemplitCouleurs(CouleurPhase);
    lCouleurPhase->addWidget(CouleurPhase);
    droite->addWidget(gCouleurPhase);
    // "Phase": the unit choice and the range, its spin buttons doing nothing.
    auto *gPhase = new QGroupBox(QStringLiteral("Phase"), this);
    auto *lPhase = new QVBoxLayout(gPhase);
    DegreRG = new TGroupeChoix(QString(), 2, gPhase);
    DegreRG->setObjectName(QStringLiteral("DegreRG"));
    DegreRG->setFlat(true);
    DegreRG->setItems({QStringLiteral("en radian"), QStringLiteral("en degré")});
    lPhase->addWidget(DegreRG);
    QToolButton *inutiles[4];
    auto *lLimites = new QHBoxLayout;
    lLimites->addWidget(limite(gPhase, QStringLiteral("Maxi"), EditPhaseMax, "EditPhaseMax", inutiles[0], "PhaseMaxHaut",
                               inutiles[1], "PhaseMaxBas"));
    lLimites->addWidget(limite(gPhase, QStringLiteral("Mini"), EditPhaseMin, "EditPhaseMin", inutiles[2], "PhaseMinHaut",
                               inutiles[3], "PhaseMinBas"));
    lPhase->addLayout(lLimites);
    droite->addWidget(gPhase);
    droite->addStretch();
    colonnes->addLayout(droite);

    auto *boutons = new QHBoxLayout;
    boutons->addStretch();
    ActiveBtn = new QPushButton(QStringLiteral("&OK"), this);
    ActiveBtn->setObjectName(QStringLiteral("ActiveBtn"));
    ActiveBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Annuler"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    boutons->addWidget(ActiveBtn);
    boutons->addWidget(CancelBtn);
    racine->addLayout(boutons);

    connect(decibelCB, &QCheckBox::toggled, this, [this](bool on) { pages->setCurrentIndex(on ? 0 : 1); });
    connect(MaxiSpinHaut, &QToolButton::clicked, this, &TVoieBodeDlg::MaxiSpinUp);
    connect(MaxiSpinBas, &QToolButton::clicked, this, &TVoieBodeDlg::MaxiSpinDown);
    connect(MiniSpinHaut, &QToolButton::clicked, this, &TVoieBodeDlg::MiniSpinUp);
    connect(MiniSpinBas, &QToolButton::clicked, this, &TVoieBodeDlg::MiniSpinDown);
    connect(ActiveBtn, &QPushButton::clicked, this, &TVoieBodeDlg::ActiveBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TVoieBodeDlg::showEvent(QShowEvent *e)
{
    if (!e->spontaneous())
        FormActivate();
    QDialog::showEvent(e);
}

void TVoieBodeDlg::FormActivate()
{
    Tvoie &gain = g_.voie[VoieGain];
    EditMaxi->setText(texteNombre(gain.maxi));
    ChoisitCouleur(CouleurGain, CouleurVoie[VoieGain]);
    decibelCB->setChecked(gain.AxedB);
    QString t;
    if (AffichageDecibel(gain.mini, t)) {
        EditMinidB->setText(t);
    } else {
        gain.mini = 0.1;
        EditMinidB->setText(QStringLiteral("-20 dB"));
    }
    if (AffichageDecibel(gain.maxi, t)) {
        EditMaxidb->setText(t);
    } else {
        gain.maxi = 10;
        EditMaxidb->setText(QStringLiteral("+20 dB"));
    }
    pages->setCurrentIndex(gain.AxedB ? 0 : 1);
    ChoisitCouleur(CouleurPhase, CouleurVoie[VoiePhase]);
    DegreRG->setItemIndex(angleEnDegre ? 1 : 0);
    EditPhaseMax->setText(texteNombre(g_.voie[VoiePhase].maxi));
    EditPhaseMin->setText(texteNombre(g_.voie[VoiePhase].mini));
}

namespace {
void montre(const TPasGain &r, QLineEdit *e)
{
    if (!r.refus.isEmpty())
        Inform(r.refus);
    else if (!r.texte.isEmpty())
        e->setText(r.texte);
}
} // namespace

void TVoieBodeDlg::MaxiSpinUp() { montre(MaxiPlus(g_.voie[VoieGain].mini, g_.voie[VoieGain].maxi), EditMaxidb); }
void TVoieBodeDlg::MaxiSpinDown() { montre(MaxiMoins(g_.voie[VoieGain].mini, g_.voie[VoieGain].maxi), EditMaxidb); }
void TVoieBodeDlg::MiniSpinUp() { montre(MiniPlus(g_.voie[VoieGain].mini, g_.voie[VoieGain].maxi), EditMinidB); }
void TVoieBodeDlg::MiniSpinDown() { montre(MiniMoins(g_.voie[VoieGain].mini, g_.voie[VoieGain].maxi), EditMinidB); }

void TVoieBodeDlg::ActiveBtnClick()
{
    Tvoie &gain = g_.voie[VoieGain];
    CouleurVoie[VoieGain] = CouleurChoisie(CouleurGain);
    gain.AxedB = decibelCB->isChecked();
    if (gain.AxedB) {
        if (gain.mini == 0)
            gain.mini = gain.maxi / 10;
    } else {
        gain.mini = 0;
        const double m = ParseNumber(EditMaxi->text());
        // A maximum that is no positive number would leave no range to draw.
        if (std::isfinite(m) && m > 0)
            gain.maxi = m;
    }
    CouleurVoie[VoiePhase] = CouleurChoisie(CouleurPhase);
    angleEnDegre = DegreRG->itemIndex() == 1;
    Tvoie &phase = g_.voie[VoiePhase];
    phase.mini = angleEnDegre ? -180 : -3.16;
    phase.maxi = angleEnDegre ? 180 : 3.16;
    UnitePhase(g_);
    accept();
}
