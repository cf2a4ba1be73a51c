#pragma once
// One oscilloscope channel buffer: the raw samples of a record and the scale that turns
// a raw sample into volts (or seconds for the time channel).
#include <QString>
#include <QtGlobal>
#include <vector>

// Samples a channel holds, indices 0 to 32768.
constexpr int TailleVoie = 32769;

class TvoieOsc {
public:
    // Channel 0 is the time channel (1 µs per step), 1 and 2 are CH1 and CH2 (0.04 V per step).
    explicit TvoieOsc(int numero = 1);

    // Physical value of sample j: (Valeur[j] - reference) * increment + origine, the
    // subtraction in integers. NaN for an index outside the buffer.
    double valeurR(int j) const;

    // Texts of the exports (FormatNumber); j is taken as an unsigned 16-bit index, and an
    // index beyond the buffer gives the text of NaN instead of reading past its end.
    QString strValeurR(int j) const;
    QString strValeurInt(int j) const;
    // Peak-detect records hold the minimum and maximum of slot j at 2j and 2j + 1.
    QString StrValeurMin(int j) const { return strValeurR(2 * (j & 0xFFFF)); }
    QString StrValeurMax(int j) const { return strValeurR(2 * (j & 0xFFFF) + 1); }
    QString strValeurPeak(int j) const { return strValeurR(2 * (j & 0xFFFF)); }

    bool Activee = false;
    int Gauge = 1;                            // 1: CH1's gauge (GaugeA), 2: CH2's (gaugeB)
    std::vector<qint32> Valeur;               // always TailleVoie samples
    double scale = 0.0;
    double position = 0.0;
    double increment = 0.04;
    double origine = 0.0;
    qint32 reference = 0;
};
