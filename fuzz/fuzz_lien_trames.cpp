// The Korvalis link's frame reader on any bytes, in chunks of any size; every frame it takes
// is of a known type and size, and written again it reads back the same.
#include "export/lien.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int pas = 1 + data[0];
    TLecteurTrames l;
    const char *p = reinterpret_cast<const char *>(data + 1);
    const qsizetype n = qsizetype(size - 1);
    qsizetype pris = 0;
    for (qsizetype i = 0; i < n; i += pas) {
        l.ajoute(QByteArray(p + i, std::min<qsizetype>(pas, n - i)));
        char type = 0;
        QByteArray charge;
        while (l.suivante(type, charge)) {
            if (!QByteArrayLiteral("CARLDXT").contains(type) || charge.size() > Trame::TailleMax)
                __builtin_trap();
            pris += 5 + charge.size();
            TLecteurTrames relu;
            relu.ajoute(EmballeTrame(type, charge));
            char t2 = 0;
            QByteArray c2;
            if (!relu.suivante(t2, c2) || t2 != type || c2 != charge || relu.suivante(t2, c2))
                __builtin_trap();
        }
    }
    if (pris > n)
        __builtin_trap();
    // In error, the reader gives nothing more.
    if (l.enErreur()) {
        l.ajoute(EmballeTrame(Trame::Fin));
        char t = 0;
        QByteArray c;
        if (l.suivante(t, c))
            __builtin_trap();
    }
    return 0;
}
