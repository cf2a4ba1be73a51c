#pragma once
// Measurement channels: the definition of a quantity read from the oscilloscope's automatic
// measurements, the table of predefined measurements, the uncertainty rules, the folding of
// phases, the mapping of a value to a screen coordinate and the texts of a value.
// The instrument settings the rules use (baseDeTemps, calibreVoie, frequenceCourante) are
// in measure/partage.h.
#include "measure/partage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <limits>

class QLabel;
class QGroupBox;

// Channel index inside a graph: 0 abscissa, 1..4 ordinates, 5 elapsed time of each reading.
using indiceVoieMult = int;
constexpr indiceVoieMult VoieAbscisse = 0;
constexpr indiceVoieMult VoieTemps = 5;
constexpr int NbreVoiesMult = 6;

// Point index 0..256; a graph records at most NbrePointsMax points.
using indiceVecteurMult = int;
constexpr int TailleVecteurMult = 257;
constexpr int NbrePointsMax = 256;
using vecteurMult = std::array<double, TailleVecteurMult>;

// Uncertainty rule of a channel; the ordinals are stored in configuration files.
enum TCalculIncertitude : uint8_t {
    ciNone = 0,
    ciFreq = 1,
    ciTemps = 2,
    ciTension = 3,
    ciDuty = 4,
    ciPhase = 5,
    ciTensionEff = 6,
};
constexpr int NbreCalculIncertitude = 7;
// The rule of an ordinal read from outside; ciNone for an unknown ordinal.
TCalculIncertitude CalculIncertitudeDepuis(int ordinal);

// One row of the table of predefined measurements.
struct TvoieRecord {
    double mini;
    double maxi;
    QStringView Nom;
    QByteArrayView Command;
    QByteArrayView CommandGDS;
    QStringView Unite;
    QStringView Signif;
    bool Active;
    bool Positive;
    TCalculIncertitude CalculIncertitude;
    uint8_t NumVoie;
};

// The predefined measurements, in the order of the channel dialog; rows 0..4 are the
// default channels 0..4 of a new multimeter graph.
inline constexpr std::array<TvoieRecord, 11> TableMesures{{
    {100, 10000, u"f", "FREQ", "FREQ", u"Hz", u"fréquence", true, true, ciFreq, 1},
    {0, 5, u"Ve", "VRMS", "RMS", u"V", u"efficace", true, true, ciTensionEff, 1},
    {0, 5, u"Vs", "VRMS", "RMS", u"V", u"efficace", true, true, ciTensionEff, 2},
    {-180, 180, u"\u2026", "PHAS", "PHAS", u"\u00B0", u"phase(1,2)", true, false, ciPhase, 1},
    {0, 5, u"V", "VAMP", "AMP", u"V", u"amplitude", false, true, ciTension, 2},
    {100, 10000, u"f", "FREQ", "FREQ", u"Hz", u"fréquence", true, true, ciFreq, 1},
    {0, 1, u"T", "PER", "PER", u"s", u"période", false, true, ciTemps, 1},
    {0, 1, u"tm", "RIS", "RIS", u"s", u"temps de montée", false, true, ciTemps, 1},
    {0, 1, u"rc", "DUTY", "PDUTy", u"", u"rapport cyclique", false, true, ciDuty, 1},
    {0, 5, u"Vm", "VAV", "CMEan", u"V", u"moyenne", false, false, ciTensionEff, 1},
    {0, 5, u"Vm", "VPP", "PK2PK", u"V", u"crête-crête", false, true, ciTension, 1},
}};

// The definition of a channel.
class TvoieHP {
public:
    TvoieHP() = default;
    // All fields from a row of TableMesures (the user's comment is left alone).
    void AppliqueMesure(const TvoieRecord &r);

    double mini = 0;
    double maxi = 1.0;
    QString Nom;
    QByteArray Command;      // keyword sent to most instruments
    QByteArray commandGDS;   // keyword sent to GoodWill/Instek GDS instruments
    QString Unite;
    QString Signif;
    QString Commentaire;
    bool Active = false;
    bool Positive = true;    // never negative: a range set from maxi starts at 0, else at -maxi
    TCalculIncertitude CalculIncertitude = ciNone;
    bool erreurLecture = false;
    uint8_t NumVoie = 1;     // oscilloscope input measured, 1 or 2
};

// A channel of a graph: its definition, its screen mapping, its readings and its points.
class Tvoie : public TvoieHP {
public:
    Tvoie() { valeur.fill(0); incertitude.fill(0); }

    // Screen coordinate a*x + b (x in log10 when AxeLog), rounded halves to even;
    // -1 for NaN (and for a value without a logarithm on a log axis).
    int32_t GrandeurToEcran(double x) const;
    // Folds the reading of a phase channel (Command "PHAS") into -180..180.
    void SetPhase();
    // The uncertainty of the reading from the channel's rule and the instrument settings.
    void SetIncertitude();
    // The value with SI prefix and unit ("1.235 kHz", "-2 mV"), or in degrees ("-45.3 °");
    // empty for NaN.
    QString StrValeur(double x) const;
    // A short fixed-point text (for decibels): "12" for 12.3.
    static QString StrValeurFixed(double x);
    // The text of the current reading for a label: "Ve=1.235 V" or, in decibels, "G=-3dB".
    QString AffVoltmetre() const;

    double a = 1;
    double b = 0;
    double valeurCourante = std::numeric_limits<double>::quiet_NaN();
    double oldValeur = std::numeric_limits<double>::quiet_NaN();
    double incertitudeCourante = 0;
    vecteurMult valeur;
    vecteurMult incertitude;
    bool AxeLog = false;
    QLabel *LabelVoie = nullptr;   // the window's, not owned
    QGroupBox *GBvoie = nullptr;   // the window's, not owned
    bool AxedB = false;
    int32_t posCurseur = 0;
};

// Numbers written for a person, rounded as their shortest decimal text reads (1234.5 / 1000
// is 1.2345 and gives 1.235 at 4 digits), with the user's decimal separator.
// General notation with at most `chiffres` significant digits.
QString TexteGeneralArrondi(double x, int chiffres);
// Fixed notation: at most `chiffres` significant digits and exactly `decimales` decimals.
QString TexteFixeArrondi(double x, int chiffres, int decimales);
