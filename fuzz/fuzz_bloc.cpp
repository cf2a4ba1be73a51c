// The Rigol or Siglent waveform reply reader fed with any bytes, in chunks of any size, into
// a buffer of the size given (heap-allocated to the byte, so a write past it is caught).
// The first byte sets the chunk size, the second the buffer size.
#include "drivers/blocrigol.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int pas = 1 + (data[0] & 0x7f);
    // Mostly small buffers, so that the limit is reached; sometimes the driver's own.
    const int capacite = data[1] == 0xff ? 32768 : data[1];
    std::vector<quint8> tampon(static_cast<size_t>(capacite));
    TCollecteur c(DIALECTE, tampon.data(), capacite);
    const char *p = reinterpret_cast<const char *>(data + 2);
    const qsizetype n = qsizetype(size - 2);
    bool complet = false;
    for (qsizetype i = 0; i < n; i += pas) {
        c.ajoute(p + i, std::min<qsizetype>(pas, n - i));
        // Once complete or refused, the reader stays so.
        if (complet && !c.complet())
            __builtin_trap();
        complet = c.complet();
    }
    c.termine();
    if (c.stockes() < 0 || c.stockes() > capacite || c.stockes() > c.recus() || c.recus() > n)
        __builtin_trap();
    if (c.complet() && c.avecEntete() && c.recus() != c.annonce())
        __builtin_trap();
    if (c.enteteInvalide() && (c.stockes() != 0 || DIALECTE != TCollecteur::Dialecte::Siglent))
        __builtin_trap();
    // A Rigol reply is never lost: without a header every byte counts.
    if (DIALECTE == TCollecteur::Dialecte::Rigol && !c.avecEntete() && c.recus() != n)
        __builtin_trap();
    return 0;
}
