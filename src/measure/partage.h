#pragma once
// Instrument settings shared by the readers of the instrument and the uncertainty rules:
// the time base and the vertical settings last read, and the frequency of the last good
// reading. Each is the value as the instrument reports it (full range for HP/Agilent,
// per division for Rigol and Siglent).
#include <array>

// Time-base setting last read (seconds).
extern double baseDeTemps;
// Vertical setting last read for inputs 1 to 4 (index 0 unused).
extern std::array<double, 5> calibreVoie;
// Frequency of the last good reading (hertz).
extern double frequenceCourante;
