#include "measure/unites.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

bool angleEnDegre = true;

namespace {

const QString degre = QStringLiteral("\u00B0");

// Scales a (>= 0) to a prefix: returns the prefix index, a divided by its power of ten.
int reduit(double &a)
{
    int i = IndiceSansPrefixe;
    while (a >= 999 && i < IndicePrefixeMax) { a /= 1000; ++i; }
    while (a < 0.999 && i > IndicePrefixeMin) { a *= 1000; --i; }
    return i;
}

const Tunite *standardParSymbole(const QString &symbole)
{
    for (int i = 0; i < 5; ++i)
        if (UniteStandard(i).FUnite == symbole)
            return &UniteStandard(i);
    return nullptr;
}

} // namespace

// ---- Number text -------------------------------------------------------------

double ArrondiDecimal(double x, int chiffres)
{
    if (!std::isfinite(x) || x == 0)
        return x;
    chiffres = std::clamp(chiffres, 1, 17);
    // Shortest text that reads back as x, in scientific form: "-d.dddde-xx".
    char texte[64];
    const auto r = std::to_chars(texte, texte + sizeof texte, x, std::chars_format::scientific);
    const std::string_view sv(texte, size_t(r.ptr - texte));
    const size_t e = sv.find('e');
    const bool negatif = sv.front() == '-';
    std::string chiffresTexte;
    for (char c : sv.substr(0, e))
        if (c >= '0' && c <= '9')
            chiffresTexte += c;
    int exposant = std::atoi(std::string(sv.substr(e + 1)).c_str());
    if (int(chiffresTexte.size()) <= chiffres)
        return x;
    const bool hausse = chiffresTexte[size_t(chiffres)] >= '5';
    chiffresTexte.resize(size_t(chiffres));
    if (hausse) {
        int i = chiffres - 1;
        while (i >= 0 && chiffresTexte[size_t(i)] == '9')
            chiffresTexte[size_t(i--)] = '0';
        if (i >= 0) {
            ++chiffresTexte[size_t(i)];
        } else {                               // 9.999 -> 10.00
            chiffresTexte.insert(chiffresTexte.begin(), '1');
            chiffresTexte.pop_back();
            ++exposant;
        }
    }
    const std::string arrondi = (negatif ? "-" : "") + chiffresTexte.substr(0, 1) + "." + chiffresTexte.substr(1)
        + "e" + std::to_string(exposant);
    double v = x;
    std::from_chars(arrondi.data(), arrondi.data() + arrondi.size(), v);
    return v;
}

QString FormatGeneral(double x, int chiffres)
{
    chiffres = std::clamp(chiffres, 1, 17);
    // The rounded value has at most `chiffres` digits, which "%g" then writes exactly.
    QString s = QString::number(ArrondiDecimal(x, chiffres), 'g', chiffres);
    const QString point = QLocale().decimalPoint();
    if (point != QLatin1String("."))
        s.replace(QLatin1Char('.'), point);
    return s;
}

QString FormatNumber(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        value = 0;   // no "-0.00000E+0"
    QString s = QString::number(value, 'E', 5);   // d.dddddE+xx, always "."
    const qsizetype e = s.indexOf(QLatin1Char('E'));
    qsizetype debut = e + 2;                        // first exponent digit
    qsizetype fin = debut;
    while (fin < s.size() - 1 && s.at(fin) == QLatin1Char('0'))
        ++fin;
    s.remove(debut, fin - debut);
    return s;
}

QString FormatPrefixed(double value, const QString &unite)
{
    if (std::isnan(value))
        return QStringLiteral(" ");
    double a = std::fabs(value);
    const int i = reduit(a);
    if (i == IndicePrefixeMin)
        return QStringLiteral("0 ") + unite;
    QString s = i == IndicePrefixeMax ? FormatGeneral(std::fabs(value), 4)   // beyond yotta
                                      : FormatGeneral(a, 4);
    if (value < 0)
        s.prepend(QLatin1Char('-'));
    return s + QLatin1Char(' ') + LettrePrefixe(i) + unite;
}

// ---- SI prefixes -------------------------------------------------------------

QString LettrePrefixe(int i)
{
    static const char16_t *const lettres[] = {u"", u"y", u"z", u"a", u"f", u"p", u"n", u"\u00B5", u"m", u"",
                                              u"k", u"M", u"G", u"T", u"P", u"E", u"Z", u"Y", u""};
    if (i < IndicePrefixeMin || i > IndicePrefixeMax)
        return QString();
    return QString::fromUtf16(lettres[i]);
}

// ---- Units -------------------------------------------------------------------

void Tunite::Init()
{
    FUnite.clear();
    Dimension.fill(0);
    PrecisionU = 5;
    avecPrefixe = true;
    nom.clear();
}

void Tunite::setUniteComplet(const QString &nu, int d1, int d2, int d3, int d4, int d5, int d6, int d7)
{
    FUnite = nu;
    Dimension = {int8_t(d1), int8_t(d2), int8_t(d3), int8_t(d4), int8_t(d5), int8_t(d6), int8_t(d7)};
}

void Tunite::RecopieUnite(const Tunite &u)
{
    FUnite = u.FUnite;
    avecPrefixe = u.avecPrefixe;
    Dimension = u.Dimension;
}

const Tunite &UniteStandard(int i)
{
    static const std::array<Tunite, NbreUnitesStandard> table = [] {
        std::array<Tunite, NbreUnitesStandard> t;
        t[0].setUniteComplet(QStringLiteral("m"), 1, 0, 0, 0, 0, 0, 0);
        t[1].setUniteComplet(QStringLiteral("A"), 0, 0, 0, 1, 0, 0, 0);
        t[2].setUniteComplet(QStringLiteral("V"), 2, 1, -3, -1, 0, 0, 0);
        t[3].setUniteComplet(QStringLiteral("s"), 0, 0, 1, 0, 0, 0, 0);
        t[4].setUniteComplet(degre, 0, 0, 0, 0, 0, 0, 0);
        t[4].avecPrefixe = false;
        return t;   // t[5]: the empty unit
    }();
    if (i < 0 || i >= NbreUnitesStandard)
        throw std::out_of_range("UniteStandard: index out of range");
    return table[size_t(i)];
}

void Tunite::setUnite(const QString &symbole)
{
    FUnite = symbole;
    if (symbole == degre)
        avecPrefixe = false;
    Dimension.fill(0);
    if (const Tunite *u = standardParSymbole(symbole))
        RecopieUnite(*u);
}

QString Tunite::NomAff(int puiss) const
{
    // Letters only from atto to exa: zepto, yocto, zetta and yotta are never shown.
    // Any symbol gets the letter, so that a scaled value never shows with a bare unit.
    if (puiss == 0 || puiss % 3 != 0 || puiss < -18 || puiss > 18)
        return FUnite;
    return LettrePrefixe(puiss / 3 + IndiceSansPrefixe) + FUnite;
}

void Tunite::formatValeurEtUnite(double nombre, QString &valeurStr, QString &uniteStr) const
{
    double a = std::fabs(nombre);
    int i = IndiceSansPrefixe;
    if (avecPrefixe && !std::isnan(a))
        i = reduit(a);
    if (i == IndicePrefixeMin) {                  // below yocto: shown as zero
        valeurStr = QStringLiteral("0");
        uniteStr = FUnite;
        return;
    }
    if (i == IndicePrefixeMax) {                  // beyond yotta: unscaled, with its exponent
        a = std::fabs(nombre);
        i = IndiceSansPrefixe;
    }
    valeurStr = FormatGeneral(a, PrecisionU);
    if (nombre < 0)
        valeurStr.prepend(QLatin1Char('-'));
    uniteStr = NomAff(PuissancePrefixe(i));
}

QString Tunite::formatU(double nombre) const
{
    QString v, u;
    formatValeurEtUnite(nombre, v, u);
    return v + u;
}

// ---- Angles and numbers ------------------------------------------------------

double ComplexAngle(double re, double im)
{
    if (std::isnan(re) || std::isnan(im))
        return std::nan("");
    double t;
    if (re == 0) {
        if (im == 0)
            throw std::domain_error("Angle d'un nombre complexe nul");
        t = im >= 0 ? std::numbers::pi / 2 : -std::numbers::pi / 2;
    } else {
        t = std::atan(im / re);
        if (re < 0)
            t += im >= 0 ? std::numbers::pi : -std::numbers::pi;
    }
    return angleEnDegre ? t * 57.29577951308232 : t;
}

double FullTurn() { return angleEnDegre ? 360.0 : 6.283185307179586; }

double FloorValue(double x) { return std::floor(x); }

// ---- Elapsed time ------------------------------------------------------------

TMarqueTemps MarqueTemps() { return TMarqueTemps(TMarqueTemps::Horloge::now()); }

double ElapsedSeconds(TMarqueTemps debut, TMarqueTemps fin)
{
    return std::fabs(std::chrono::duration<double>(fin.instant - debut.instant).count());
}

double ElapsedSeconds(TMarqueTemps marque) { return ElapsedSeconds(marque, MarqueTemps()); }

// ---- Message boxes -----------------------------------------------------------

bool TDialogueConsole::confirm(const QString &message)
{
    std::fprintf(stderr, "%s [%s]\n", qPrintable(message), reponse ? "Oui" : "Non");
    return reponse;
}

void TDialogueConsole::inform(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

namespace {
IDialogue *dialogueInstalle = nullptr;
}

TDialogueConsole &dialogueConsole()
{
    static TDialogueConsole console;
    return console;
}

void setDialogue(IDialogue *d) { dialogueInstalle = d; }

IDialogue &dialogue() { return dialogueInstalle ? *dialogueInstalle : dialogueConsole(); }

bool Confirm(const QString &message) { return dialogue().confirm(message); }

void Inform(const QString &message) { dialogue().inform(message); }
