// The VISA resource-name reader: socket addresses, resource lists and search expressions,
// on any text read as Latin-1. A NUL splits the input into a name and an expression.
#include "drivers/nomvisa.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString texte = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    TAdresseTCP a;
    if (LitAdresseTCP(texte, a) && (a.port == 0 || a.hote.isEmpty() || a.hote.size() > 253 || !texte.contains(a.hote)))
        __builtin_trap();
    QStringList liste;
    AjouteRessources(texte, liste);
    AjouteRessources(texte, liste);   // nothing twice
    for (qsizetype i = 0; i < liste.size(); ++i) {
        TAdresseTCP b;
        if (!LitAdresseTCP(liste[i], b) || liste.indexOf(liste[i]) != i)
            __builtin_trap();
    }
    const qsizetype nul = texte.indexOf(QChar(0));
    const QString nom = nul < 0 ? texte : texte.left(nul);
    const QString expression = nul < 0 ? QStringLiteral("USB?*") : texte.mid(nul + 1);
    (void)CorrespondVisa(nom, expression);
    // Every name matches itself taken as an expression.
    if (!CorrespondVisa(nom, nom) || !CorrespondVisa(nom, QStringLiteral("*")))
        __builtin_trap();
    return 0;
}
