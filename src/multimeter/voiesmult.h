#pragma once
// The multimeter's channel set without widgets: the default channels, the ordering that keeps
// the active channels first, the box captions, and the rules of the channel dialog (the name
// a newly chosen measurement suggests, what the dialog writes into a channel).
#include "measure/graphe.h"

#include <QString>

// Rows 0..4 of the measurement table into channels 0..4, a logarithmic abscissa, then MajVoies.
void InitVoies(Tgraphe &g);

// Moves the active channels among 1..4 before the inactive ones (stable; channels 0 and 5 stay),
// sets DerniereVoie to the number of active ordinates and discards the recorded points when
// that number changed. Answers whether the points were discarded.
bool MajVoies(Tgraphe &g);

// The caption of channel i's box: "CH1 100 Hz..10 kHz" for the abscissa, "CH2 efficace +5 V"
// or "CH1 phase(1,2) ±180.0 °" for an ordinate.
QString TitreVoie(const Tvoie &v, int i);

// The name the dialog suggests for a measurement taken on input `entree` (1 or 2): the
// measurement's own name with the input number appended ("Ve" on CH2 gives "Ve2"), except for
// the frequency and the phase, whose names stand alone.
QString NomSuggere(const QString &nomMesure, int entree);

// What the channel dialog holds when it closes with OK.
struct TSaisieVoie {
    bool active = true;             // "Activer" (false: "&Désactiver")
    int entree = 1;                 // selected input, 1 or 2
    const TvoieHP *mesure = nullptr;   // the list's selected measurement, null when none
    QString nom;
    QString commentaire;
    QString maxi;                   // as typed
};

// Writes the dialog's choices into the channel: the measurement's command, keywords, meaning,
// unit, sign and uncertainty rule (never its name, range, activity or input), the typed name,
// comment and maximum (a phase at most 360), and the minimum that follows: 0 for a positive
// quantity, otherwise minus the maximum. A maximum that is no number keeps the channel's own.
void AppliqueSaisieVoie(TvoieHP &v, const TSaisieVoie &s);
