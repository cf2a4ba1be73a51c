#pragma once
// One channel buffer of the Bode window: the raw samples of the last block read, in sample
// units (65 536 units span the 8 vertical divisions), with their scale and statistics.
// It is the Bode window's own class; the oscilloscope's channel buffer is another one.
#include <QtGlobal>
#include <vector>

// Samples a Bode buffer holds, indices 0 to 32768.
constexpr int TailleVoieBode = 32769;
// Samples the measurement works on, indices 1 to 500.
constexpr int NbreEchantillonsBode = 500;

class TvoieOscBode {
public:
    TvoieOscBode() : Valeur(TailleVoieBode, 0) {}

    // Mean and RMS of the alternating part of samples 1 to Nbre (bounded to the buffer):
    // valeurDC = increment * mean, valeurEff = increment * sqrt(mean square - mean^2).
    // Nbre < 1 gives NaN for both.
    void Calcul(int Nbre);
    // The mean of samples 1 to Nbre in sample units (NaN for Nbre < 1).
    double moyenne(int Nbre) const;

    std::vector<qint32> Valeur;   // always TailleVoieBode samples
    double increment = 0;         // volts per sample unit
    double valeurEff = 0;         // RMS of the alternating part, volts
    double valeurDC = 0;          // mean, volts
};
