#include "measure/voies.h"

#include "measure/unites.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

const QString degre = QStringLiteral("\u00B0");

// Screen coordinates are kept well inside 32 bits, so that sums and differences of two of
// them cannot overflow.
constexpr double LimiteEcran = 1 << 28;

} // namespace

QString TexteFixeArrondi(double x, int chiffres, int decimales)
{
    if (!std::isfinite(x))
        return QString::number(x);
    chiffres = std::clamp(chiffres, 1, 17);
    decimales = std::clamp(decimales, 0, 18);
    double r = 0;
    if (x != 0) {
        const int e = int(std::floor(std::log10(std::fabs(ArrondiDecimal(x, chiffres)))));
        if (e + 1 > chiffres)   // more integer digits than the precision
            return FormatGeneral(x, chiffres);
        const int garde = std::min(chiffres, e + 1 + decimales);
        if (garde >= 1)
            r = ArrondiDecimal(x, garde);
        else if (garde == 0 && std::fabs(x) >= 5 * std::pow(10.0, e))   // 0.06 with one decimal: 0.1
            r = std::copysign(std::pow(10.0, e + 1), x);
    }
    if (r == 0)
        r = 0;   // no "-0.0"
    QString s = QString::number(r, 'f', decimales);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        s.replace(QLatin1Char('.'), point);
    return s;
}

TCalculIncertitude CalculIncertitudeDepuis(int ordinal)
{
    return ordinal >= 0 && ordinal < NbreCalculIncertitude ? TCalculIncertitude(ordinal) : ciNone;
}

void TvoieHP::AppliqueMesure(const TvoieRecord &r)
{
    mini = r.mini;
    maxi = r.maxi;
    Nom = r.Nom.toString();
    Command = r.Command.toByteArray();
    commandGDS = r.CommandGDS.toByteArray();
    Unite = r.Unite.toString();
    Signif = r.Signif.toString();
    Active = r.Active;
    Positive = r.Positive;
    CalculIncertitude = r.CalculIncertitude;
    NumVoie = r.NumVoie;
}

int32_t Tvoie::GrandeurToEcran(double x) const
{
    if (std::isnan(x))
        return -1;
    const double y = a * (AxeLog ? std::log10(x) : x) + b;
    if (std::isnan(y))
        return -1;
    return int32_t(std::clamp(std::nearbyint(y), -LimiteEcran, LimiteEcran));
}

void Tvoie::SetPhase()
{
    if (Command != "PHAS" || std::isnan(valeurCourante))
        return;
    if (valeurCourante < -180)
        valeurCourante += 360;
    if (valeurCourante > 180)
        valeurCourante -= 360;
}

void Tvoie::SetIncertitude()
{
    incertitudeCourante = 0;
    const double v = valeurCourante;
    if (std::isnan(v))
        return;
    const double c = baseDeTemps / 2048;
    const double S = NumVoie >= 1 && NumVoie < calibreVoie.size() ? calibreVoie[NumVoie] / 512 : 0.0;
    const double F = frequenceCourante;
    switch (CalculIncertitude) {
    case ciNone: break;
    case ciFreq: incertitudeCourante = v / 10000 + v * v * c; break;
    case ciTemps: incertitudeCourante = v / 10000 + c; break;
    case ciTension: incertitudeCourante = S; break;
    case ciDuty: incertitudeCourante = (1 + v) * c * F; break;
    case ciPhase: incertitudeCourante = (360 + v) * c * F; break;
    case ciTensionEff: incertitudeCourante = S / 2; break;
    }
}

QString Tvoie::StrValeur(double x) const
{
    if (std::isnan(x))
        return QString();
    if (Unite == degre)
        return TexteFixeArrondi(x, 4, 1) + QLatin1Char(' ') + degre;
    double v = std::fabs(x);
    int k = IndiceSansPrefixe;
    while (v >= 999 && k < IndicePrefixeMax) { v /= 1000; ++k; }
    while (v < 0.999 && k > IndicePrefixeMin) { v *= 1000; --k; }
    if (k == IndicePrefixeMin || k == IndicePrefixeMax)
        return QStringLiteral("0 ") + Unite;
    QString s = FormatGeneral(v, 4);
    int chiffres = 0;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s.at(i).isDigit() && ++chiffres == 4) {
            s.truncate(i + 1);
            break;
        }
    if (x < 0)
        s.prepend(QLatin1Char('-'));
    return s + QLatin1Char(' ') + LettrePrefixe(k) + Unite;
}

QString Tvoie::StrValeurFixed(double x)
{
    if (!std::isfinite(x))
        return QString();
    if (x == 0)
        return QStringLiteral("0");
    const double d = std::trunc(-std::log10(std::fabs(100 * x)));
    if (d < 0)
        return TexteFixeArrondi(std::nearbyint(x), 17, 0);
    return TexteFixeArrondi(x, 2, int(std::min(d, 18.0)));
}

QString Tvoie::AffVoltmetre() const
{
    if (AxedB)
        return Nom + QLatin1Char('=') + StrValeurFixed(20 * std::log10(valeurCourante)) + QStringLiteral("dB");
    return Nom + QLatin1Char('=') + StrValeur(valeurCourante);
}
