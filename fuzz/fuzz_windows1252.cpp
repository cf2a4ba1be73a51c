// The Windows-1252 encoder on any text (the input read as UTF-16 code units, lone
// surrogates included) and the decoder on any bytes.
#include "export/windows1252.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString texte;
    for (size_t i = 0; i + 1 < size; i += 2)
        texte.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
    int remplaces = -1;
    const QByteArray octets = EnWindows1252(texte, &remplaces);
    qsizetype paires = 0;
    for (qsizetype i = 0; i + 1 < texte.size(); ++i)
        if (texte.at(i).isHighSurrogate() && texte.at(i + 1).isLowSurrogate()) {
            ++paires;
            ++i;
        }
    if (octets.size() != texte.size() - paires || remplaces < 0 || remplaces > octets.size()
        || octets.count('?') < remplaces)
        __builtin_trap();
    // What was kept comes back as it was.
    if (remplaces == 0 && DeWindows1252(octets) != texte)
        __builtin_trap();
    // Every byte decodes to one character, and every assigned byte comes back.
    const QByteArray brut(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decode = DeWindows1252(brut);
    if (decode.size() != brut.size())
        __builtin_trap();
    const QByteArray encore = EnWindows1252(decode);
    for (qsizetype i = 0; i < brut.size(); ++i) {
        const auto b = quint8(brut[i]);
        const bool libre = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        if (encore[i] != (libre ? '?' : brut[i]))
            __builtin_trap();
    }
    return 0;
}
