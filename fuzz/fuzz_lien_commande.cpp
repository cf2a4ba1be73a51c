// The reader of the commands received on this program's service, on any bytes.
#include "export/commandelien.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray commande(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lignes = LignesCommande(commande);
    const qsizetype nul = commande.indexOf('\0');
    const qsizetype utiles = nul < 0 ? commande.size() : nul;
    qsizetype total = 0;
    for (const QString &l : lignes) {
        if (l.contains(QLatin1Char('\r')) || l.contains(QLatin1Char('\n')) || l.contains(QChar(0)))
            __builtin_trap();
        total += l.size();
        const QString mot = MotCommande(l);
        if (!l.startsWith(mot) || (mot.size() < l.size() && l.at(mot.size()) != QLatin1Char('(')))
            __builtin_trap();
    }
    // Each byte before the NUL is one character of a line or a line end.
    if (total > utiles || (utiles > 0 && lignes.isEmpty() && commande.left(utiles).count('\r') + commande.left(utiles).count('\n') == 0))
        __builtin_trap();
    return 0;
}
