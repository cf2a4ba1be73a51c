#include "export/windows1252.h"

namespace {

// Characters of the bytes 80 to 9F hex; 0 where the code page assigns none.
constexpr char16_t plage80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

int octetDe(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (plage80[i] != 0 && plage80[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace

QByteArray EnWindows1252(const QString &texte, int *remplaces)
{
    QByteArray out;
    out.reserve(texte.size());
    int n = 0;
    const qsizetype taille = texte.size();
    for (qsizetype i = 0; i < taille; ++i) {
        const char16_t c = texte.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < taille && QChar::isLowSurrogate(texte.at(i + 1).unicode()))
            ++i;   // one character outside the basic plane: one "?"
        const int b = octetDe(c);
        if (b < 0) {
            out.append('?');
            ++n;
        } else {
            out.append(static_cast<char>(b));
        }
    }
    if (remplaces)
        *remplaces = n;
    return out;
}

QString DeWindows1252(const QByteArray &octets)
{
    QString out;
    out.reserve(octets.size());
    for (const char ch : octets) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0 && plage80[b - 0x80] != 0)
            out.append(QChar(plage80[b - 0x80]));
        else
            out.append(QChar(char16_t(b)));
    }
    return out;
}
