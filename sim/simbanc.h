// The bench around a simulated instrument: a generator feeding CH1 whose frequency may be
// swept over time, a first-order low-pass filter between the generator and CH2, an
// optional autoset that keeps a few periods on the screen, and the automatic measurements
// an instrument makes on the traces it shows.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

struct SimSignal;

// Generator frequency swept from `debut` to `fin` hertz in `duree` seconds, then again from
// the start; logarithmic or linear; in `paliers` held steps when paliers >= 2.
struct SimBalayage {
    double debut = 0.0, fin = 0.0, duree = 0.0;
    bool logarithmique = false;
    int paliers = 0;

    bool actif() const { return duree > 0.0; }
    double frequenceA(double secondes) const;
    // "start:stop:duration[:log|lin][:steps]", e.g. "100:10000:60:log" or "100:10k:60:log:20".
    static bool parse(const QString &text, SimBalayage &out);
};

class SimBanc {
public:
    SimBanc() { depart_.start(); }

    double coupure = 0.0;   // corner frequency of the filter before CH2, hertz; 0: no filter
    SimBalayage balayage;
    bool autoset = false;    // the time base follows the generator's frequency
    // Frequency a programmable generator of the simulator was set to (hertz); 0: none, the
    // sweep or CH1's own frequency then.
    double frequenceGenerateur = 0.0;
    // Seconds since the start (tests set their own clock).
    std::function<double()> horloge;

    double secondes() const { return horloge ? horloge() : depart_.nsecsElapsed() * 1e-9; }
    // Frequency of the generator at this moment (the one a programmable generator was set
    // to, the swept one, or the one given for CH1).
    double frequence(const SimSignal &ch1) const;
    // What reaches input c at this moment: CH1 the generator; CH2 the generator through the
    // filter when there is one, otherwise its own signal (at the swept frequency if swept).
    SimSignal entree(int c, const SimSignal &ch1, const SimSignal &ch2) const;
    // With autoset: the smallest 1-2-5 time base putting at least 2.5 periods of the
    // generator in `divisions` divisions. Leaves `parDivision` alone otherwise.
    void regleBaseDeTemps(double &parDivision, double divisions, const SimSignal &ch1) const;

    // Gain and phase (degrees) of the filter at frequency f.
    static double gain(double coupure, double f);
    static double dephasage(double coupure, double f);

    // The bench's command-line options (--filtre, --balayage, --autoset), shared by the
    // simulators: false when `opt` is none of them; `valeur` gives the option's value and
    // `erreur` says what is wrong with it (empty when it was taken).
    bool option(const QString &opt, const std::function<QString()> &valeur, QString &erreur);

private:
    QElapsedTimer depart_;
};

// One trace as the instrument shows it.
struct SimTrace {
    const SimSignal *signal = nullptr;
    bool inverse = false;
    double division = 1.0;               // volts per division
    double bas = -1e300, haut = 1e300;   // the screen's vertical limits, volts
    double at(double t) const;
};

// Automatic measurements over a screen from t0 lasting `duree` seconds. A quantity the
// instrument cannot measure is `Invalide`: the voltages of a trace leaving the screen, the
// timings and phase of a flat trace or of fewer than two periods on the screen.
struct SimMesures {
    static constexpr double Invalide = 9.9e37;
    double freq, per, vpp, vmax, vmin, vamp, vav, vrms, ris, fall;
    double duty;    // fraction of the period above the middle level, 0..1
    double phase;   // degrees, the other trace relative to this one, positive when it leads

    // `autre` may be null (no phase).
    static SimMesures de(const SimTrace &trace, const SimTrace *autre, double t0, double duree);
};
