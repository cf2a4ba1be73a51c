#pragma once
// The multimeter's reading as one point of the automatic sweep: cycles of LectureVoies at
// the frequency now set until two readings in a row agree (the record action's stability
// test: every channel within 1/32 of its range), then the record of the current point in
// the multimeter's graph. The cycle's messages reach the caller's view and become the
// point's failure reason; no modal box and no continuous-update timer during a sweep.
#include "generator/balayage.h"
#include "multimeter/cycle.h"

#include <array>

class TPointBalayageMult : public IPointBalayage {
public:
    // Readings tried at most for one point before it is called unstable.
    static constexpr int CyclesMax = 4;

    TPointBalayageMult(TMultimetre &multimetre, IVueMultimetre *vue = nullptr);

    bool mesure(QString &erreur) override;
    void enregistre() override;
    // From the scale the cycle read and the RMS channel of that input (a sine's peak to peak);
    // after a reading that failed on a voltage of that input, the input is off the screen.
    bool voieEcran(int n, TVoieEcran &e) override;
    // gain: the RMS of input 2 over the RMS of input 1; phase: the channel in degrees (NaN
    // when the graph has no such channels).
    double gain() const override;
    double phase() const override;

private:
    class TVueCapture;
    bool stable() const;
    int voieEfficace(int entree) const;
    TMultimetre &m_;
    IVueMultimetre *vue_;
    bool mesuree_ = false;
    std::array<bool, 5> saturee_{};
};
