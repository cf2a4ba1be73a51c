#pragma once
// The read of the instruments reached through the Rigol driver (Rigol on USB or VISA,
// Siglent on VISA) and what becomes of the record: the page of the Korvalis send, the
// tables and the Korvalis file. No widget here: the Rigol window, "ondivar-cli acquire"
// and the tests drive the same code through the small view below.
#include "export/pages.h"

#include <QString>
#include <array>
#include <functional>

class TRigol;

// The counts of points the Rigol window offers, first the one chosen at each activation.
inline constexpr std::array<int, 5> NombresRigol = {600, 1024, 2048, 4096, 8192};

// What the read shows.
class IVueLectureRigol {
public:
    virtual ~IVueLectureRigol() = default;
    // A plain message ("Vérifier la non saturation des voies", the failure's text).
    virtual void message(const QString &texte) = 0;
    // Which channels the read found displayed (the window's "OK" boxes).
    virtual void voiesActives(bool actif1, bool actif2) = 0;
};

struct TResultatLectureRigol {
    QString erreur;                   // the failure's text; empty when the read went through
    int voieEchouee = 0;              // the channel whose waveform could not be read (0: none)
    bool actif[3] = {true, false, false};   // channels found displayed (index 0 the time)
    int nbreLus[3] = {0, 0, 0};       // samples stored for each channel read
    int NbrePointsLu = 0;             // the driver's count after the read (the last channel's)
    bool reussie() const { return erreur.isEmpty(); }
    // The samples that hold for every channel read: CH2's count after a failed CH2 would
    // cut CH1 to the part of CH2 that arrived.
    int nbreLusValides() const;
};

// The whole read: time-base form and mode, time base, CH1 then CH2, back to XY when it was
// so, the front panel given back. A failure is shown through vue and ends the read. A
// Siglent is asked nothing in the Rigol dialect: it has no ":TIM:FORM?" and each such
// query would only cost a time-out; its channel reads set the time axis themselves.
TResultatLectureRigol LitRigol(TRigol &rigol, IVueLectureRigol *vue);

// The read of both channels alone (no message of failure, no front panel given back):
// answers the failure's text, or an empty text when both channels were read. annonce
// shows the plain messages.
QString LectureRigol(TRigol &rigol, const std::function<void(const QString &)> &annonce,
                     bool &actif1, bool &actif2);

// The record held by the driver, for the pages: time and every active channel.
// sansVoie leaves that channel out (one whose read failed), 0 keeps them all.
TEnregistrement EnregistrementRigol(const TRigol &rigol, int nbreLus, const QString &nom1,
                                    const QString &signif1, const QString &nom2, const QString &signif2,
                                    int sansVoie = 0);

// The transfer text of the Korvalis send: rows reduced to nbrePoints, line styles on a new file.
QString TexteEnvoiRigol(const TEnregistrement &e, int nbrePoints, bool nouveauFichier,
                        const QString &identification);

// Name of a table save: the filter's extension (".KVX", ".TXT", ".CSV") appended when
// the name has none, as the oscilloscope window does.
QString NomTableauRigol(const QString &nom, int filtre);

// The save button's table: CSV for ".CSV", tab-separated otherwise, every sample.
bool SauveTableauRigol(const QString &nomFichier, const TEnregistrement &e, const QString &identification);
// The save on closing: the reduced Korvalis file for ".KVX", the plain table otherwise.
bool SauveKorvalisRigol(const QString &nomFichier, const TEnregistrement &e, int nbrePoints,
                        const QString &identification);
// A save named by its extension alone: ".kvx" the reduced Korvalis file of the save on
// closing, any other the table of the save button (".csv" CSV, otherwise tab-separated).
// A name without extension gets ".KVX". Answers the name written, empty on failure.
QString SauveFichierRigol(const QString &nomFichier, const TEnregistrement &e, int nbrePoints,
                          const QString &identification);
