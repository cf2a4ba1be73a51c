#pragma once
// The pages of each window: the oscilloscope window and the Rigol USB/VISA window
// (records of samples), the multimeter and Bode windows (graph channels).
// The windows gather their data into the small structures below and call one builder;
// the writers of page.h then give the file, the table or the transfer text.
#include "export/page.h"

#include <QList>
#include <functional>

// Order handed to TFormDDE::Execute, in this order.
enum Tenvoi { eAdd, eLoad, ePlus, eAddCol };

// ---- Oscilloscope records ----------------------------------------------------

// One active channel of a record, as the window holds it.
struct TVoieEnregistree {
    int numero = 1;                        // 1 for CH1, 2 for CH2 (an empty name becomes "VA" / "VB")
    QString nom;
    QString signif;
    std::function<QString(int)> valeur;    // the text of sample i (strValeurR / valeurStr)
};

struct TEnregistrement {
    int nbreLus = 0;                       // samples read
    std::function<QString(int)> temps;     // the text of the time of sample i
    QList<TVoieEnregistree> voies;         // the active channels only, CH1 before CH2
};

// The name written for a channel: its own, or "VA" / "VB" when left empty.
QString NomVoie(const TVoieEnregistree &v);

// Korvalis data file and plain table variant: samples 0, k, 2k... (k = PasReduction).
TPage PageFichierOsc(const TEnregistrement &e, int nbrePoints);
// Spreadsheet tables: every sample of [debut, fin] (kept within the samples read).
TPage PageTableauOsc(const TEnregistrement &e, int debut, int fin);

struct TOptionsTransfertOsc {
    bool nouveauFichier = true;            // eLoad; false for an added page (eAdd)
    QString identification;                // instrument identification
    QString commentaireGeneral;            // "Commentaire général"
    TParametre parametre;                  // "Paramètre" group, value as typed
    bool totalite = true;                  // "Enregistrement" option is "Totalité"
    int debut = 0;                         // range chosen (debutOsc, FinOsc)
    int fin = -1;
    int nbrePoints = 1000;                 // "Nombre de points"
};

// Oscilloscope window, normal record: indices of [debut, fin] that are multiples of
// PasTransfert; XY declaration or line-style section on a new file.
TPage PageTransfertOsc(const TEnregistrement &e, const TOptionsTransfertOsc &o);
// Oscilloscope window, peak-detect record (minimum at 2j, maximum at 2j + 1): one row per
// pair, two columns per channel, the parameter value re-written by FormatNumber.
TPage PageTransfertPeak(const TEnregistrement &e, const TOptionsTransfertOsc &o);
// Rigol USB/VISA window: samples multiple of PasReduction, no comment, no parameter;
// line-style section on a new file.
TPage PageTransfertRigol(const TEnregistrement &e, int nbrePoints, bool nouveauFichier,
                         const QString &identification);

// The order of an oscilloscope send: eLoad for a new file, eAdd for an added page.
inline Tenvoi OrdreOsc(bool nouveauFichier) { return nouveauFichier ? eLoad : eAdd; }

// ---- Graph pages (multimeter, Bode) -----------------------------------------

// One graph channel: names and the recorded points (a missing point reads as NaN).
struct TVoieGraphe {
    QString nom;
    QString unite;
    QString commentaire;
    QList<double> valeurs;
    QList<double> incertitudes;
};

// The page dialog "Renseignements sur la page courante".
struct TInfosPage {
    int choix = 0;                         // 0 "Nouveau fichier", 1 "Nouvelle page", 2 "Ajout page courante"
    QString identification;                // instrument identification
    QString commentaire;                   // "Commentaire"
    TParametre parametre;                  // value as typed
};

// Order of the page dialog's choice: 0 eLoad, 1 eAdd, 2 ePlus (anything else eAdd).
Tenvoi OrdrePourChoix(int choix);

// Multimeter window: [time column "t" when voieTemps (channel 5) is given, i.e. the
// automatic acquisition is ticked] then channels 0..DerniereVoie (`voies`), points
// 0..nbrePoints-1 (sorted by the window beforehand), the uncertainty section.
TPage PageTransfertMult(const QList<TVoieGraphe> &voies, int nbrePoints,
                        const TVoieGraphe *voieTemps, const TInfosPage &infos);
// Bode window: channels 0, 1, 2 (f, G, phase), and "GdB" in decibel mode.
TPage PageTransfertBode(const QList<TVoieGraphe> &voies, int nbrePoints, bool axedB,
                        const TInfosPage &infos);
// Reduced Bode text of the "Ajouter" button (order ePlus): names line and rows only.
QString TexteTransfertBodeReduit(const QList<TVoieGraphe> &voies, int nbrePoints, bool axedB);

// 20 log10(gain) by FormatNumber, or "0" when the logarithm cannot be computed.
QString TexteGainDecibel(double gain);
