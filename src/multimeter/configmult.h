#pragma once
// The multimeter's configuration files (".OD"): the channel set of the multimeter window,
// as INI text in Windows-1252. Read and written without widgets over the data the window
// holds: the six channels of its graph (channels 0..4 are stored), MesureCB, and the
// parameter name and unit the page dialog receives.
//
// File layout: sections "Voie0".."Voie4" with the keys "Nom", "Unite", "Signif",
// "Command", "CommandGDS", "Active", "Positive", "Incertitude", "Maxi", "Mini", "Numéro";
// section "Ondivar" with "LogX" (channel 0's AxeLog) and "MESURE" (MesureCB); section
// "Constante" with "Nom" and "Unite", read but never written. Booleans are "1" / "0",
// numbers are in the user's decimal notation (either "." or "," reads back).
#include "measure/voies.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

// Channels 0..4 are stored; channel 5 (time), the comments and the points are not.
constexpr int NbreVoiesConfig = 5;

using TVoiesMult = std::array<Tvoie, NbreVoiesMult>;

// What a configuration sets besides the channels.
struct TConfigMultimetre {
    bool mesure = true;       // "MESURE": MesureCB checked
    QString nomConstante;     // "Constante": name and unit fields of the page dialog's parameter
    QString uniteConstante;
};

// Files larger than this are neither read nor written over (they are not configurations).
constexpr qint64 TailleMaxConfig = 1 << 20;

// The default configuration, read at the first activation and written on close:
// DossierDonnees + "Ondivar.OD".
QString FichierConfigDefaut();

// The configuration file named by the program's parameters (the arguments after the
// program name): the default file without parameters; otherwise every parameter that is
// not an option (does not begin with "-"), in order, joined by single spaces, so that a path
// with spaces given unquoted is rebuilt. Empty when every parameter is an option (nothing is
// then read).
QString FichierConfigDemarrage(const QStringList &parametres);

// The name a configuration is saved under: the extension replaced by ".OD"; a name whose
// extension already is "od" in any letter case is kept as it is.
QString NomFichierConfig(const QString &nomFichier);

// Reads a configuration file into channels 0..4 of voies, "LogX" into channel 0's AxeLog,
// "MESURE" and "Constante" into config. A missing key keeps the current value, except
// "Incertitude" (ciNone), "LogX" and "MESURE" (true) and "Constante" (empty); an unreadable
// number or boolean keeps the current value; "Numéro" other than 1 or 2 gives 1; a command
// that is not a plain keyword (letters, digits, ":", "_", ".") keeps the current one.
// Answers false, changing nothing, when the file is missing, unreadable or too large.
// The points and DerniereVoie are left alone: the window then sets DerniereVoie := 0 and
// orders its channels.
bool LitConfig(const QString &nomFichier, TVoiesMult &voies, TConfigMultimetre &config);
// The same over the bytes of a file.
void LitConfigOctets(const QByteArray &octets, TVoiesMult &voies, TConfigMultimetre &config);

// Writes channels 0..4, "LogX" (channel 0's AxeLog) and "MESURE" into the file
// NomFichierConfig(nomFichier): the existing file is loaded first, so the sections and keys
// it does not write stay, and the result replaces the file atomically (a failed save leaves
// the previous file intact). Answers false on failure, without message (the window ignores
// it); an existing file that cannot be read, or too large, is left untouched.
bool SauveConfig(const QString &nomFichier, const TVoiesMult &voies, bool mesure);
// The text SauveConfig writes over the text of the existing file (empty for a new one).
QString TexteConfig(const QString &existant, const TVoiesMult &voies, bool mesure);
