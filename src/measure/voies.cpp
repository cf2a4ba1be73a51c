#include "measure/voies.h"

#include "measure/unites.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <string>

namespace {

const QString degre = QStringLiteral("\u00B0");

// Screen coordinates are kept well inside 32 bits, so that sums and differences of two of
// them cannot overflow.
constexpr double LimiteEcran = 1 << 28;

// A positive number as decimal digits: value = 0.d1 d2 d3... x 10^(exposant + 1), that is
// the first digit stands for 10^exposant. Zero is the single digit "0".
struct Decimal {
    std::string chiffres;
    int exposant = 0;
    bool zero() const { return chiffres == "0"; }
};

void enleveZerosFinaux(Decimal &d)
{
    while (d.chiffres.size() > 1 && d.chiffres.back() == '0')
        d.chiffres.pop_back();
    if (d.chiffres.find_first_not_of('0') == std::string::npos) {
        d.chiffres = "0";
        d.exposant = 0;
    }
}

// The digits of the shortest text that reads back as a (finite, >= 0).
Decimal decompose(double a)
{
    Decimal d;
    if (a == 0) {
        d.chiffres = "0";
        return d;
    }
    const QByteArray s = QString::number(a, 'e', QLocale::FloatingPointShortest).toLatin1();
    const qsizetype e = s.indexOf('e');
    for (qsizetype i = 0; i < e; ++i)
        if (s.at(i) >= '0' && s.at(i) <= '9')
            d.chiffres.push_back(s.at(i));
    d.exposant = s.mid(e + 1).toInt();
    enleveZerosFinaux(d);
    return d;
}

// Keeps the first n digits, rounding the rest half away from zero.
void garde(Decimal &d, int n)
{
    if (d.zero() || n >= int(d.chiffres.size()))
        return;
    if (n <= 0) {
        if (n == 0 && d.chiffres[0] >= '5') {
            d.chiffres = "1";
            ++d.exposant;
        } else {
            d.chiffres = "0";
            d.exposant = 0;
        }
        return;
    }
    const bool monte = d.chiffres[size_t(n)] >= '5';
    d.chiffres.resize(size_t(n));
    if (monte) {
        int i = n - 1;
        while (i >= 0 && d.chiffres[size_t(i)] == '9')
            d.chiffres[size_t(i--)] = '0';
        if (i < 0) {
            d.chiffres.insert(d.chiffres.begin(), '1');
            ++d.exposant;
        } else {
            ++d.chiffres[size_t(i)];
        }
    }
    enleveZerosFinaux(d);
}

// Fixed notation; decimales < 0 writes every digit, otherwise exactly that many decimals.
std::string fixe(const Decimal &d, int decimales)
{
    std::string entier, fraction;
    if (d.zero()) {
        entier = "0";
    } else if (d.exposant >= 0) {
        const size_t n = size_t(d.exposant) + 1;
        entier = d.chiffres.substr(0, n);
        entier.resize(n, '0');
        if (d.chiffres.size() > n)
            fraction = d.chiffres.substr(n);
    } else {
        entier = "0";
        fraction = std::string(size_t(-d.exposant - 1), '0') + d.chiffres;
    }
    if (decimales >= 0)
        fraction.resize(size_t(decimales), '0');
    return fraction.empty() ? entier : entier + '.' + fraction;
}

// Scientific notation as QString::number writes it: "1.5e+03", "2e-07".
std::string scientifique(const Decimal &d)
{
    std::string s(1, d.chiffres[0]);
    if (d.chiffres.size() > 1)
        s += '.' + d.chiffres.substr(1);
    const int e = std::abs(d.exposant);
    s += d.exposant < 0 ? "e-" : "e+";
    if (e < 10)
        s += '0';
    return s + std::to_string(e);
}

QString avecSeparateur(const std::string &s, bool negatif)
{
    QString t = QString::fromLatin1(s.data(), qsizetype(s.size()));
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        t.replace(QLatin1Char('.'), point);
    if (negatif)
        t.prepend(QLatin1Char('-'));
    return t;
}

} // namespace

QString TexteGeneralArrondi(double x, int chiffres)
{
    if (!std::isfinite(x))
        return QString::number(x);
    Decimal d = decompose(std::fabs(x));
    garde(d, std::max(chiffres, 1));
    const int p = std::max(chiffres, 1);
    const std::string s = d.exposant < -4 || d.exposant >= p ? scientifique(d) : fixe(d, -1);
    return avecSeparateur(s, x < 0 && !d.zero());
}

QString TexteFixeArrondi(double x, int chiffres, int decimales)
{
    if (!std::isfinite(x))
        return QString::number(x);
    decimales = std::max(decimales, 0);
    Decimal d = decompose(std::fabs(x));
    if (!d.zero() && d.exposant + 1 > chiffres)   // more integer digits than the precision
        return TexteGeneralArrondi(x, chiffres);
    garde(d, std::min(chiffres, d.exposant + 1 + decimales));
    return avecSeparateur(fixe(d, decimales), x < 0 && !d.zero());
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
    QString s = TexteGeneralArrondi(v, 4);
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
