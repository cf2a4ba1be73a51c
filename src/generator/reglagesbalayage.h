#pragma once
// The sweep's settings kept from one run to the next (section "Balayage"): the generator's
// resource and dialect, the start and stop frequencies, the points, the settling wait and the
// amplitude. A value missing or out of its range reads as its default.
#include "generator/balayage.h"
#include "generator/generateur.h"

#include <QSettings>
#include <QString>

struct TReglagesBalayage {
    QString ressource;                       // empty: no generator configured
    TDialecteGenerateur dialecte = TDialecteGenerateur::Auto;
    TParametresBalayage parametres;
    double amplitude = 0;                    // peak-to-peak volts at the start; 0: left alone

    void LitRegistre(QSettings &s);
    void EcritRegistre(QSettings &s) const;
    // The generator's start settings these give.
    TReglageGenerateur reglageGenerateur() const;
};

// The settings as the program's store holds them (OuvreRegistre), and their writing there.
TReglagesBalayage LitReglagesBalayage();
void EcritReglagesBalayage(const TReglagesBalayage &r);
