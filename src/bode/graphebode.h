#pragma once
// What the Bode window does with its graph, without widgets: the three channels set up,
// the phase range brought to quarter turns for drawing, the gain limits of the gain and
// phase dialog in decibels and their spin rules, the current values put on the graph and
// the two transfer texts for Korvalis.
#include "bode/gainphase.h"
#include "export/pages.h"
#include "measure/graphe.h"

#include <QString>

// Channels of the Bode graph.
constexpr int VoieFrequence = 0;
constexpr int VoieGain = 1;
constexpr int VoiePhase = 2;
// Points recorded at most.
constexpr int NbrePointsBode = 256;

// The three channels: f (Hz, 100..10 000, log), G (0.1..10, decibels), phase ("°" or "rad",
// -180..180 or -3.15..3.15 by angleEnDegre), all active, no command, no uncertainty;
// DerniereVoie 2, no point.
void InitGrapheBode(Tgraphe &g);
// The phase unit of the current angle unit: "°" or "rad".
void UnitePhase(Tgraphe &g);

// The phase range drawn: nearest multiples of a quarter turn, capped at half a turn on
// either side; equal limits open to one quarter turn above. -170..100 gives -180..90.
void PhaseAuQuartDeTour(double &mini, double &maxi, bool enDegre);

// The decibel text of a gain limit: k = 20 log10 g rounded, g becomes 10^(k/20), text "k" + "dB".
// False (g and texte untouched) when the logarithm cannot be taken.
bool AffichageDecibel(double &g, QString &texte);

// The spin buttons of the gain limits. Each applies its rule to the range at once and
// gives the text of the changed limit (decibel display); a refused step leaves the range
// alone and gives the message to show instead.
struct TPasGain {
    QString texte;      // decibel display of the changed limit (empty when refused)
    QString refus;      // "Maxi = 100 dB"... (empty when applied)
};
TPasGain MaxiPlus(double &mini, double &maxi);
TPasGain MaxiMoins(double &mini, double &maxi);
TPasGain MiniPlus(double &mini, double &maxi);
TPasGain MiniMoins(double &mini, double &maxi);

// The results of a measurement become the graph's current values; the channels' ranges
// follow the ones the measurement rescaled.
void ResultatsVersGraphe(const TCalculBode &c, Tgraphe &g);
// The graph's ranges and current values handed to the measurement before it starts.
void GrapheVersCalcul(const Tgraphe &g, TCalculBode &c);

// Records the current values as point NbrePoints (nothing when 256 are recorded).
bool EnregistrePointBode(Tgraphe &g);

// The graph's channels 0, 1, 2 as the pages take them (points 0..NbrePoints-1).
QList<TVoieGraphe> VoiesBode(const Tgraphe &g);
// "Korvalis": the Bode transfer text of the points (sorted beforehand), with "GdB" when the
// gain axis is in decibels; the page comment names the instrument for a new file.
QString TexteKorvalisBode(const Tgraphe &g, const TInfosPage &infos, const QString &cheminProgramme);
// "Ajouter": the names line and the rows only.
QString TexteAjoutBode(const Tgraphe &g);

// The graph as it is drawn: with a decibel gain axis, the gain's points, current value and
// range in decibels (unit "dB"), so the gain is drawn as a Bode diagram; otherwise a copy.
Tgraphe GrapheAffiche(const Tgraphe &g);
