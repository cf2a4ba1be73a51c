#include "generator/balayagedlg.h"

#include "link/parsenumber.h"
#include "measure/unites.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr TDialecteGenerateur Dialectes[] = {TDialecteGenerateur::Auto,       TDialecteGenerateur::Scpi,
                                             TDialecteGenerateur::RigolDG,    TDialecteGenerateur::SiglentSDG,
                                             TDialecteGenerateur::Keysight33, TDialecteGenerateur::FeelTech};

QString nomAffiche(TDialecteGenerateur d)
{
    QString t = NomDialecte(d);
    if (!t.isEmpty())
        t[0] = t[0].toUpper();
    return t;
}

// With its prefix when four digits hold it ("10 kHz"), else every digit ("1234,5 Hz").
QString texteFrequence(double f)
{
    if (std::isfinite(f) && ArrondiDecimal(f, 4) != ArrondiDecimal(f, 9))
        return FormatGeneral(f, 9) + QStringLiteral(" Hz");
    return FormatPrefixed(f, QStringLiteral("Hz"));
}

} // namespace

double LitFrequenceSaisie(const QString &texte)
{
    QString t = texte.trimmed();
    if (t.endsWith(QLatin1String("Hz"), Qt::CaseInsensitive))
        t.chop(2);
    return ParseNumber(t);
}

TBalayageDlg::TBalayageDlg(const TReglagesBalayage &r, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("BalayageDlg"));
    setWindowTitle(QStringLiteral("Balayage"));

    RessourceEdit = new QLineEdit(this);
    RessourceEdit->setObjectName(QStringLiteral("RessourceEdit"));
    RessourceEdit->setPlaceholderText(QStringLiteral("COM3, TCPIP0::192.168.1.20::5025::SOCKET, USB0::…::INSTR"));
    RessourceEdit->setToolTip(QStringLiteral("Voie série COMn (COMn:bauds), prise réseau TCPIP0::hôte::port::SOCKET "
                                             "ou appareil USBTMC USB0::…::INSTR"));
    RessourceEdit->setMinimumWidth(RessourceEdit->fontMetrics().horizontalAdvance(RessourceEdit->placeholderText()) + 16);
    DialecteCB = new QComboBox(this);
    DialecteCB->setObjectName(QStringLiteral("DialecteCB"));
    for (TDialecteGenerateur d : Dialectes)
        DialecteCB->addItem(nomAffiche(d), int(d));
    DialecteCB->setToolTip(QStringLiteral("Automatique : d'après la réponse du générateur à « *IDN? »"));

    auto frequence = [this](const char *nom) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(nom));
        e->setToolTip(QStringLiteral("En hertz, avec un préfixe si besoin : 100, 2,5k, 10 kHz"));
        return e;
    };
    DebutEdit = frequence("DebutEdit");
    FinEdit = frequence("FinEdit");
    ParDecadeSpin = new QSpinBox(this);
    ParDecadeSpin->setObjectName(QStringLiteral("ParDecadeSpin"));
    ParDecadeSpin->setRange(1, 1000);
    AttenteSpin = new QSpinBox(this);
    AttenteSpin->setObjectName(QStringLiteral("AttenteSpin"));
    AttenteSpin->setRange(0, 600000);
    AttenteSpin->setSingleStep(100);
    AttenteSpin->setSuffix(QStringLiteral(" ms"));
    AttenteSpin->setToolTip(QStringLiteral("Après chaque changement de fréquence : au moins trois périodes "
                                           "de la nouvelle fréquence"));

    auto *formulaire = new QFormLayout;
    formulaire->addRow(QStringLiteral("&Générateur :"), RessourceEdit);
    formulaire->addRow(QStringLiteral("&Dialecte :"), DialecteCB);
    formulaire->addRow(QStringLiteral("Fréquence de d&ébut :"), DebutEdit);
    formulaire->addRow(QStringLiteral("Fréquence de &fin :"), FinEdit);
    formulaire->addRow(QStringLiteral("&Points par décade :"), ParDecadeSpin);
    formulaire->addRow(QStringLiteral("&Attente de stabilisation :"), AttenteSpin);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    AnnulerBtn = new QPushButton(QStringLiteral("A&nnuler"), this);
    AnnulerBtn->setObjectName(QStringLiteral("AnnulerBtn"));
    auto *boutons = new QHBoxLayout;
    boutons->addStretch();
    boutons->addWidget(OKBtn);
    boutons->addWidget(AnnulerBtn);

    auto *racine = new QVBoxLayout(this);
    racine->addLayout(formulaire);
    racine->addLayout(boutons);

    connect(OKBtn, &QPushButton::clicked, this, &TBalayageDlg::accept);
    connect(AnnulerBtn, &QPushButton::clicked, this, &QDialog::reject);
    charge(r);
}

void TBalayageDlg::charge(const TReglagesBalayage &r)
{
    r_ = r;
    RessourceEdit->setText(r.ressource);
    DialecteCB->setCurrentIndex(std::max(0, DialecteCB->findData(int(r.dialecte))));
    DebutEdit->setText(texteFrequence(r.parametres.debut));
    FinEdit->setText(texteFrequence(r.parametres.fin));
    ParDecadeSpin->setValue(r.parametres.parDecade);
    AttenteSpin->setValue(r.parametres.attenteMinMs);
}

bool TBalayageDlg::litValeurs(TReglagesBalayage &r, QString &erreur) const
{
    r = r_;
    r.ressource = RessourceEdit->text().trimmed();
    r.dialecte = TDialecteGenerateur(DialecteCB->currentData().toInt());
    r.parametres.debut = LitFrequenceSaisie(DebutEdit->text());
    r.parametres.fin = LitFrequenceSaisie(FinEdit->text());
    // Points per decade: the sweep is logarithmic.
    r.parametres.logarithmique = true;
    r.parametres.parDecade = ParDecadeSpin->value();
    r.parametres.attenteMinMs = AttenteSpin->value();
    erreur = VerifieRessourceGenerateur(r.ressource);
    if (!erreur.isEmpty())
        return false;
    return !FrequencesBalayage(r.parametres, erreur).empty();
}

void TBalayageDlg::accept()
{
    TReglagesBalayage r;
    QString e;
    if (!litValeurs(r, e)) {
        Inform(e);
        if (!VerifieRessourceGenerateur(r.ressource).isEmpty())
            RessourceEdit->setFocus();
        else if (!std::isfinite(r.parametres.debut) || !(r.parametres.debut > 0))
            DebutEdit->setFocus();
        else
            FinEdit->setFocus();
        return;
    }
    r_ = r;
    QDialog::accept();
}
