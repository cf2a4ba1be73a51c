#include "link/parsenumber.h"

#include <QLocale>
#include <cmath>

double ParseNumber(const QString &text)
{
    const QLocale loc;
    QString s = text;
    const QString sep = loc.decimalPoint();
    if (sep == QLatin1String(",")) {
        const qsizetype i = s.indexOf(QLatin1Char('.'));
        if (i >= 0)
            s[i] = QLatin1Char(',');
    } else if (sep == QLatin1String(".")) {
        const qsizetype i = s.indexOf(QLatin1Char(','));
        if (i >= 0)
            s[i] = QLatin1Char('.');
    }
    s.remove(QLatin1Char(' '));
    if (s.isEmpty())
        return NaN();
    static const struct { QChar letter; const char *exp; } prefixes[] = {
        {QLatin1Char('y'), "E-24"}, {QLatin1Char('z'), "E-21"}, {QLatin1Char('a'), "E-18"},
        {QLatin1Char('f'), "E-15"}, {QLatin1Char('p'), "E-12"}, {QLatin1Char('n'), "E-9"},
        {QChar(0x00B5), "E-6"},     {QLatin1Char('m'), "E-3"},  {QLatin1Char('k'), "E+3"},
        {QLatin1Char('M'), "E+6"},  {QLatin1Char('G'), "E+9"},  {QLatin1Char('T'), "E+12"},
        {QLatin1Char('P'), "E+15"}, {QLatin1Char('E'), "E+18"},
    };
    const QChar last = s.back();
    for (const auto &p : prefixes) {
        if (p.letter == last) {
            s.chop(1);
            s += QLatin1String(p.exp);
            break;
        }
    }
    // The user's number format, without group separators: "3 300" was joined above,
    // and "1,2.3" must not read as a grouped number.
    QLocale strict = loc;
    strict.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = strict.toDouble(s, &ok);
    // "INF", "-inf", "NaN"...: the number format reads them, but no reading or typed value
    // of this program is infinite.
    return ok && std::isfinite(v) ? v : NaN();
}
