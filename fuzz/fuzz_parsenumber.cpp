// The number reader on any text, read as Latin-1 (the line's 8-bit characters) and as UTF-8.
#include "link/parsenumber.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *p = reinterpret_cast<const char *>(data);
    const double a = ParseNumber(QString::fromLatin1(p, qsizetype(size)));
    const double b = ParseNumber(QString::fromUtf8(p, qsizetype(size)));
    // Only a number or NaN; an infinity is never a reading.
    if (std::isinf(a) && size < 3)
        __builtin_trap();
    (void)b;
    return 0;
}
