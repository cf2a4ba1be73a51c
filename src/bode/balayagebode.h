#pragma once
// The Bode measurement as one point of the automatic sweep: one Mesure, then the record
// action of the Bode window on its graph. The measurement's messages reach the caller's view
// (the window, the console) and become the point's failure reason; a modal message box is
// never opened during a sweep.
#include "bode/mesurebode.h"
#include "generator/balayage.h"
#include "measure/graphe.h"

class TPointBalayageBode : public IPointBalayage {
public:
    // mesure: the window's (or ondivar-cli's) measurement; graphe: its Bode graph; voieRef:
    // the reference channel; vue: where the error strip and the current values go (may be null).
    TPointBalayageBode(TMesureBode &mesure, Tgraphe &graphe, int voieRef, IVueBode *vue = nullptr);

    bool mesure(QString &erreur) override;
    void enregistre() override;
    bool voieEcran(int n, TVoieEcran &e) override;
    // The 500 samples of a Bode block span twice the 10 divisions of the screen.
    double divisionsEnregistrement() const override { return 20; }
    double gain() const override;
    double phase() const override;

    int voieRef;

private:
    class TVueCapture;
    TMesureBode &mesure_;
    Tgraphe &graphe_;
    IVueBode *vue_;
    bool mesuree_ = false;
};
