#pragma once
// What the oscilloscope window and "ondivar-cli acquire" do with a record once it is read,
// without widgets: the part of the record kept (period search), the page handed to Korvalis
// and the file saved. Both callers go through these functions only.
#include "export/pages.h"
#include "scope/acquisition.h"

#include <QString>

// "Enregistrement" choices (items of XYrg).
enum TChoixEnregistrement { xyTotalite = 0, xyPeriode = 1, xyDemiPeriode = 2 };

// First and last sample index of the part of the record to export (debutOsc, FinOsc).
struct TIntervalle {
    int debut = 0;
    int fin = -1;
    bool operator==(const TIntervalle &o) const { return debut == o.debut && fin == o.fin; }
};

// The first closed loop of the XY curve X (CH1 raw samples), Y (CH2 raw samples), n samples.
// The whole record [0, n - 1] when n < 16, when a channel is flat, when the curve never
// leaves its start or never comes back to it. demi keeps the first half of the loop.
TIntervalle ChercheIntervalle(const qint32 *X, const qint32 *Y, int n, bool demi);

// The part of the record a send or a table uses: the whole record for "Totalité" or fewer
// than two active channels, otherwise the period search on CH1 / CH2.
TIntervalle SelectionOsc(const TAcquisitionOsc &a, int choix);

// What the user typed besides the record.
struct TSaisieOsc {
    QString nom1 = QStringLiteral("VA");
    QString signif1 = QStringLiteral("Tension");
    QString nom2 = QStringLiteral("VB");
    QString signif2 = QStringLiteral("Tension");
    QString commentaire;          // "Commentaire général"
    TParametre parametre;         // "Paramètre" group, value as typed
    int choix = xyTotalite;       // XYrg item
};

// An empty CH1 name becomes "VA", an empty CH2 name "VB".
void CompleteNoms(TSaisieOsc &s);

// The active channels of the record with their names (the record must outlive the result).
TEnregistrement EnregistrementOsc(const TAcquisitionOsc &a, const TSaisieOsc &s);

// The transfer text of a send: the peak layout for a peak-detect record of an Agilent or
// Hewlett-Packard instrument, otherwise the normal layout over the selection.
QString TexteEnvoiOsc(const TAcquisitionOsc &a, const TSaisieOsc &s, bool nouveauFichier,
                      const QString &identification);

// Extension appended to a name without one, by save-dialog filter (0 ".KVX", 1 ".TXT", 2 ".CSV").
QString ExtensionFiltre(int filtre);
// The name a save writes: nom, or nom + the filter's extension when it has none.
QString NomSauvegardeOsc(const QString &nom, int filtre);

// The save: Korvalis data file for ".KVX", otherwise a spreadsheet table over the selection.
// Failures are shown with Inform; true when the file was written.
bool SauveOsc(const QString &nomFichier, const TAcquisitionOsc &a, const TSaisieOsc &s,
              const QString &identification);
