#include "generator/reglagesbalayage.h"

#include "link/parsenumber.h"
#include "link/registre.h"
#include "measure/unites.h"

#include <cmath>

namespace {
const QString Section = QStringLiteral("Balayage");

QString cle(const QString &valeur) { return Section + QLatin1Char('/') + valeur; }

// A positive number of the store (written with "." whatever the locale), or defaut.
double litPositif(QSettings &s, const QString &valeur, double defaut)
{
    QString t = s.value(cle(valeur)).toString().trimmed();
    bool ok = false;
    double v = t.toDouble(&ok);
    if (!ok)
        v = ParseNumber(t);
    return std::isfinite(v) && v > 0 && v < 1e9 ? v : defaut;
}

int litBorne(QSettings &s, const QString &valeur, int defaut, int mini, int maxi)
{
    const int v = LitEntier(s, Section, valeur, defaut);
    return v < mini || v > maxi ? defaut : v;
}
}

void TReglagesBalayage::LitRegistre(QSettings &s)
{
    const TReglagesBalayage d;
    ressource = s.value(cle(QStringLiteral("Generateur"))).toString().trimmed();
    if (!LitDialecte(s.value(cle(QStringLiteral("Dialecte"))).toString(), dialecte))
        dialecte = d.dialecte;
    parametres.debut = litPositif(s, QStringLiteral("Debut"), d.parametres.debut);
    parametres.fin = litPositif(s, QStringLiteral("Fin"), d.parametres.fin);
    parametres.logarithmique = LitBooleen(s, Section, QStringLiteral("Logarithmique"), d.parametres.logarithmique);
    parametres.parDecade = litBorne(s, QStringLiteral("ParDecade"), d.parametres.parDecade, 1, 1000);
    parametres.nombrePoints = litBorne(s, QStringLiteral("NombrePoints"), d.parametres.nombrePoints, 2, 10000);
    parametres.attenteMinMs = litBorne(s, QStringLiteral("Attente"), d.parametres.attenteMinMs, 0, 600000);
    amplitude = s.contains(cle(QStringLiteral("Amplitude"))) ? litPositif(s, QStringLiteral("Amplitude"), 0) : 0;
}

void TReglagesBalayage::EcritRegistre(QSettings &s) const
{
    s.setValue(cle(QStringLiteral("Generateur")), ressource);
    s.setValue(cle(QStringLiteral("Dialecte")), MotDialecte(dialecte));
    s.setValue(cle(QStringLiteral("Debut")), FormatNumber(parametres.debut));
    s.setValue(cle(QStringLiteral("Fin")), FormatNumber(parametres.fin));
    EcritBooleen(s, Section, QStringLiteral("Logarithmique"), parametres.logarithmique);
    EcritEntier(s, Section, QStringLiteral("ParDecade"), parametres.parDecade);
    EcritEntier(s, Section, QStringLiteral("NombrePoints"), parametres.nombrePoints);
    EcritEntier(s, Section, QStringLiteral("Attente"), parametres.attenteMinMs);
    s.setValue(cle(QStringLiteral("Amplitude")), FormatNumber(amplitude));
}

TReglageGenerateur TReglagesBalayage::reglageGenerateur() const
{
    TReglageGenerateur r;
    r.dialecte = dialecte;
    r.amplitude = amplitude;
    return r;
}

TReglagesBalayage LitReglagesBalayage()
{
    TReglagesBalayage r;
    r.LitRegistre(*OuvreRegistre());
    return r;
}

void EcritReglagesBalayage(const TReglagesBalayage &r)
{
    auto s = OuvreRegistre();
    r.EcritRegistre(*s);
    s->sync();
}
