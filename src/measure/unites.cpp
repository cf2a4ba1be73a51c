#include "measure/unites.h"

#include <QElapsedTimer>
#include <QLocale>
#include <cmath>
#include <cstdio>
#include <stdexcept>

bool angleEnDegre = true;

QString FormatNumber(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.5E", value);   // d.dddddE+xx, "C" locale for numbers
    QString s = QString::fromLatin1(buf);
    const qsizetype e = s.indexOf(QLatin1Char('E'));
    if (e < 0)
        return s;
    const QChar sign = s.at(e + 1);
    QString exp = s.mid(e + 2);
    while (exp.size() > 1 && exp.startsWith(QLatin1Char('0')))
        exp.remove(0, 1);
    return s.left(e + 1) + (sign == QLatin1Char('-') ? QLatin1Char('-') : QLatin1Char('+')) + exp;
}

QString LettrePrefixe(int i)
{
    static const char16_t *lettres[] = {u"", u"y", u"z", u"a", u"f", u"p", u"n", u"\u00B5", u"m", u"",
                                        u"k", u"M", u"G", u"T", u"P", u"E", u"Z", u"Y", u""};
    return (i >= 0 && i <= 18) ? QString::fromUtf16(lettres[i]) : QString();
}

static int reduit(double &a)
{
    int i = 9;
    while (a >= 999 && i < 18) { a /= 1000; ++i; }
    while (a < 0.999 && i > 0) { a *= 1000; --i; }
    return i;
}

QString FormatPrefixed(double value, const QString &unite)
{
    if (std::isnan(value))
        return QStringLiteral(" ");
    double a = std::fabs(value);
    const int i = reduit(a);
    if (i == 0)
        return QStringLiteral("0 ") + unite;
    QString s = QLocale().toString(a, 'g', 4);
    if (value < 0)
        s.prepend(QLatin1Char('-'));
    return s + QLatin1Char(' ') + LettrePrefixe(i) + unite;
}

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
    static const std::array<Tunite, 6> table = [] {
        std::array<Tunite, 6> t;
        t[0].setUniteComplet(QStringLiteral("m"), 1, 0, 0, 0, 0, 0, 0);
        t[1].setUniteComplet(QStringLiteral("A"), 0, 0, 0, 1, 0, 0, 0);
        t[2].setUniteComplet(QStringLiteral("V"), 2, 1, -3, -1, 0, 0, 0);
        t[3].setUniteComplet(QStringLiteral("s"), 0, 0, 1, 0, 0, 0, 0);
        t[4].setUniteComplet(QString(QChar(0x00B0)), 0, 0, 0, 0, 0, 0, 0);
        t[4].avecPrefixe = false;
        return t;
    }();
    return table.at(size_t(qBound(0, i, 5)));
}

static const Tunite *standardParSymbole(const QString &symbole)
{
    for (int i = 0; i < 5; ++i)
        if (UniteStandard(i).FUnite == symbole)
            return &UniteStandard(i);
    return nullptr;
}

void Tunite::setUnite(const QString &symbole)
{
    FUnite = symbole;
    if (symbole == QString(QChar(0x00B0)))
        avecPrefixe = false;
    Dimension.fill(0);
    if (const Tunite *u = standardParSymbole(symbole))
        RecopieUnite(*u);
}

QString Tunite::NomAff(int puiss) const
{
    if (puiss == 0)
        return FUnite;
    if (!standardParSymbole(FUnite) || puiss % 3 != 0 || puiss < -18 || puiss > 18)
        return FUnite;
    return LettrePrefixe(puiss / 3 + 9) + FUnite;
}

void Tunite::formatValeurEtUnite(double nombre, QString &valeurStr, QString &uniteStr) const
{
    double a = std::fabs(nombre);
    int i = 9;
    if (avecPrefixe)
        i = reduit(a);
    valeurStr = QLocale().toString(a, 'g', PrecisionU);
    if (nombre < 0)
        valeurStr.prepend(QLatin1Char('-'));
    uniteStr = NomAff(3 * (i - 9));
}

QString Tunite::formatU(double nombre) const
{
    QString v, u;
    formatValeurEtUnite(nombre, v, u);
    return v + u;
}

double ComplexAngle(double re, double im)
{
    double t;
    if (re == 0) {
        if (im == 0)
            throw std::domain_error("angle of 0 + j0");
        t = im >= 0 ? M_PI / 2 : -M_PI / 2;
    } else {
        t = std::atan(im / re);
        if (re < 0)
            t += im >= 0 ? M_PI : -M_PI;
    }
    return angleEnDegre ? t * 57.29577951308232 : t;
}

double FullTurn() { return angleEnDegre ? 360.0 : 6.283185307179586; }

double FloorValue(double x) { return std::isnan(x) ? x : std::floor(x); }

static QElapsedTimer &horloge()
{
    static QElapsedTimer t = [] { QElapsedTimer e; e.start(); return e; }();
    return t;
}

MarqueTemps MarqueMaintenant() { return horloge().elapsed(); }

double ElapsedSeconds(MarqueTemps marque) { return double(horloge().elapsed() - marque) * 0.001; }

static IDialogue *dialogue = nullptr;
void setDialogue(IDialogue *d) { dialogue = d; }

bool Confirm(const QString &message)
{
    if (dialogue)
        return dialogue->confirm(message);
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return false;
}

void Inform(const QString &message)
{
    if (dialogue)
        dialogue->inform(message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}
