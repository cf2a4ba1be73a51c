#pragma once
#include <QString>
#include <limits>

// The quiet NaN of every reading without a valid value.
inline double NaN() { return std::numeric_limits<double>::quiet_NaN(); }

// The program's one number reader: "." or "," as decimal mark (once), spaces
// ignored, a trailing SI prefix letter applied (y z a f p n µ m k M G T P E).
// NaN when the text is not a number.
double ParseNumber(const QString &text);
