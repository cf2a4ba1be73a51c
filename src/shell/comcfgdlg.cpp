#include "shell/comcfgdlg.h"

#include "link/portmap.h"
#include "measure/unites.h"
#include "shell/fenetreprincipale.h"
#include "shell/noyau.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

static QLabel *noteRouge(const QString &texte, QWidget *parent)
{
    auto *l = new QLabel(texte, parent);
    QFont f(QStringLiteral("Calibri"));
    f.setPixelSize(13);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("color: red"));
    return l;
}

TComCfgDlg::TComCfgDlg(TNoyauPrincipal &noyau, QWidget *parent) : QDialog(parent), noyau_(noyau)
{
    setWindowTitle(QStringLiteral("Configuration du port RS232"));
    setFont(PoliceSegoe());

    auto *gauche = new QVBoxLayout;
    Comports = new QGroupBox(QStringLiteral("&COM"), this);
    Comports->setObjectName(QStringLiteral("Comports"));
    Comports->setMinimumHeight(96);
    ComGroupe = new QButtonGroup(this);
    gauche->addWidget(Comports);

    BaudRG = new QGroupBox(QStringLiteral("Vitesse"), this);
    BaudRG->setObjectName(QStringLiteral("BaudRG"));
    BaudGroupe = new QButtonGroup(this);
    auto *gb = new QGridLayout(BaudRG);
    const char *vitesses[] = {"9600", "19200", "38400", "57600"};
    for (int i = 0; i < 4; ++i) {
        auto *r = new QRadioButton(QLatin1String(vitesses[i]), BaudRG);
        BaudGroupe->addButton(r, i);
        gb->addWidget(r, i / 2, i % 2);
    }
    gauche->addWidget(BaudRG);

    auto *groupe = new QGroupBox(QStringLiteral("Handshake / Hardware Flow Control"), this);
    groupe->setObjectName(QStringLiteral("GroupBox1"));
    auto *gl = new QVBoxLayout(groupe);
    DTRcb = new QCheckBox(QStringLiteral("DTR/DSR"), groupe);
    gl->addWidget(DTRcb);
    gauche->addWidget(groupe);
    TraceCB = new QCheckBox(QStringLiteral("Debug : fichiers Ondivar.trc .log"), this);
    gauche->addWidget(TraceCB);
    gauche->addWidget(noteRouge(QStringLiteral("Parity : None\nStop Bits : 1 ; Data Bits : 8"), this));
    gauche->addWidget(noteRouge(
        QStringLiteral("Rigol : sélectionner sur l'oscillo\nUtility ; Param.E/S et\nvérifier \"RS-232 Baud\" "), this));
    gauche->addWidget(noteRouge(QStringLiteral("HP/Agilent : sélectionner sur l'oscillo\nPrint Utility I/O Menu et\n"
                                               "vérifier \"Baud Rate\" et \"Handshake\" "),
                                this));
    gauche->addStretch();

    auto *droite = new QVBoxLayout;
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Abandon"), this);
    HelpBtn = new QPushButton(QStringLiteral("Aide"), this);
    HelpBtn->hide();
    TestBtn = new QPushButton(QStringLiteral("Test"), this);
    droite->addWidget(OKBtn);
    droite->addWidget(CancelBtn);
    droite->addWidget(HelpBtn);
    droite->addWidget(TestBtn);
    droite->addStretch();

    auto *principal = new QHBoxLayout(this);
    principal->addLayout(gauche, 1);
    principal->addLayout(droite);

    connect(OKBtn, &QPushButton::clicked, this, &TComCfgDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(TestBtn, &QPushButton::clicked, this, &TComCfgDlg::TestBtnClick);
    FormCreate();
    ajusteTaille();
}

void TComCfgDlg::ajusteTaille()
{
    // A fixed dialog as large as its contents need with the font in use, never smaller
    // than its usual 359 x 398.
    if (QLayout *l = layout())
        l->activate();
    setFixedSize(sizeHint().expandedTo(QSize(359, 398)));
}

void TComCfgDlg::changeEvent(QEvent *e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::FontChange && layout())
        ajusteTaille();
}

void TComCfgDlg::FormCreate()
{
    // The ports the machine really has, each with the device it stands for.
    auto *grille = new QGridLayout(Comports);
    NumeroCom.clear();
    for (int n = 1; n <= PortMap::MaxPort && NumeroCom.size() < MaxPorts; ++n) {
        if (!noyau_.session.portPresent(n))
            continue;
        auto *r = new QRadioButton(QStringLiteral("COM%1").arg(n), Comports);
        r->setToolTip(PortMap::devicePath(n));
        const int index = int(NumeroCom.size());
        ComGroupe->addButton(r, index);
        grille->addWidget(r, index / 4, index % 4);
        NumeroCom.append(n);
        if (n == Numero)
            r->setChecked(true);
    }
    if (!ComGroupe->checkedButton() && !ComGroupe->buttons().isEmpty())
        ComGroupe->button(0)->setChecked(true);
}

void TComCfgDlg::showEvent(QShowEvent *e)
{
    const qsizetype i = NumeroCom.indexOf(Numero);
    if (i >= 0)
        ComGroupe->button(int(i))->setChecked(true);
    QDialog::showEvent(e);
}

int TComCfgDlg::vitesseChoisie() const { return BaudGroupe->checkedId(); }

void TComCfgDlg::setVitesseChoisie(int index)
{
    if (auto *b = BaudGroupe->button(index))
        b->setChecked(true);
}

int TComCfgDlg::portChoisi() const
{
    const int i = ComGroupe->checkedId();
    return (i >= 0 && i < NumeroCom.size()) ? NumeroCom[i] : 0;
}

void TComCfgDlg::OKBtnClick()
{
    if (const int n = portChoisi())
        Numero = n;
    accept();
}

void TComCfgDlg::TestBtnClick()
{
    const int n = portChoisi();
    if (n == 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString texte = TestVoieSerie(noyau_.session.echange, n, VitesseIndex(vitesseChoisie()));
    QApplication::restoreOverrideCursor();
    Inform(texte);
}
