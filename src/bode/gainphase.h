#pragma once
// The arithmetic of one Bode measurement on the two blocks read: the period search and
// the frequency, the RMS values, the gain and the phase, the decade rescale of a range.
// Plain objects, no window: the window, the command-line tool and the tests use them alike.
#include "bode/voieoscbode.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <limits>

// Texts of the error strip.
extern const QString MessageMoinsUnePeriode;   // "Impossible de déterminer la fréquence : moins d'une période"
extern const QString MessagePlusCinqPeriodes;  // "Impossible de déterminer la fréquence : plus de cinq périodes"
extern const QString MessageVoieConstante;     // "Impossible de déterminer la phase : signal constant"

// Volts per sample unit of a channel at `voltsParDivision`: 65 536 units span 8 divisions.
constexpr double IncrementVoie(double voltsParDivision) { return voltsParDivision * 8.0 / 65536.0; }
// Sample interval from the time base per division: 500 samples over 10 divisions, twice.
constexpr double DeltatTempsParDivision(double secondesParDivision) { return 2.0 * 10.0 * secondesParDivision / 500.0; }


// Nearest integer, halves to even; 0 for NaN and values beyond the int range.
int ArrondiPair(double x);

// Decade rescale of a range from a value v: d = 10^floor(log10 |v|), m = trunc(|v| / d),
// range m*d .. (m+1)*d. 15000 gives 10000..20000. False, range untouched, when v is zero,
// NaN or infinite.
bool RecadreDecade(double v, double &mini, double &maxi);

// One result shown by the Bode graph: the current value and the display range.
struct TGrandeurBode {
    double valeurCourante = std::numeric_limits<double>::quiet_NaN();
    double mini = 0;
    double maxi = 1;
};

// Markers of the oscillogram for one channel, in sample indices and sample units.
struct TMarquesOsc {
    int debut = 0;    // start of the period (or of the phase shift for the other channel)
    int fin = 0;      // end of the period
    int niveau = 0;   // RMS + mean level
};

class TCalculBode {
public:
    TCalculBode();

    // Period search on samples 1..500 of channel p (1 or 2): sets p's period markers and
    // NbrePointsPeriode; on success the frequency's current value. On failure `erreur`
    // holds the text for the error strip and the frequency is left alone.
    bool cherchePeriode(int p);
    // The period channel is channel 2 when its scale is coarser, else channel 1; then the
    // period search and, for a frequency outside its range, the decade rescale (redessine).
    bool mesureFrequence();
    // RMS of each channel over one period, gain and phase of the other channel relative to
    // voieRef, the oscillogram markers, the gain range rescale. False when the phase has no
    // angle (X and Y both zero: a constant channel): `erreur` says so and the gain and
    // phase keep their values.
    bool calculeGainPhase();

    // The other channel than the reference.
    int autreVoie() const { return 3 - voieRef; }

    std::array<TvoieOscBode, 3> VoieOsc;      // 1 and 2 used
    std::array<TMarquesOsc, 3> marques;       // 1 and 2 used
    double Deltat = 0;                        // sample interval, seconds
    int voieRef = 1;
    int NbrePointsPeriode = 0;
    TGrandeurBode frequence, gain, phase;
    bool redessine = false;                   // a range changed: the graph is to be redrawn
    QString erreur;                           // text for the error strip of the last failure
};
