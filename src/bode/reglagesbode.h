#pragma once
// The Bode window's settings file: an INI text with the sections "Constante" (the page
// dialog's parameter, read only) and "Bode" (the display). Keys and sections are matched
// whatever their letter case; numbers are in the user's locale, booleans "1" and "0",
// colours decimal integers (red + 256 green + 65536 blue). No widget here.
#include <QString>
#include <QtGlobal>

struct TReglagesBode {
    QString nomConstante;      // [Constante] Nom
    QString uniteConstante;    // [Constante] Unite
    double maxiF = 10000;
    double miniF = 100;
    bool logX = true;
    double maxiGain = 10;
    double miniGain = 0.1;
    quint32 couleurG = 0x0000FF;   // red
    bool logY = true;
    quint32 couleurP = 0x008000;   // green
    bool degre = true;
    double maxiPhase = 180;
    double miniPhase = -180;
    int ref = 1;               // reference channel, 1 or 2
};

// Reads the text of a settings file into r; each key missing or unreadable keeps the value
// r holds. With a decibel gain axis a gain minimum below 0.00001 becomes 0.01.
void LitReglagesBode(const QString &texte, TReglagesBode &r);
// The text of the file once the "Bode" keys of r are written into `existant`: every other
// line is kept as it was; the twelve keys replace those of the same name whatever their
// case, in their own order at the end of the section (which is added when missing).
// "Constante" is never written.
QString EcritReglagesBode(const QString &existant, const TReglagesBode &r);

// The file: "ondivar.INI" in the folder of the program's other settings (that of
// $ONDIVAR_CONFIG when set, otherwise ~/.config/Ondivar).
QString FichierReglagesBode();
// Reads the file (a missing or unreadable file leaves r as it is).
void ChargeReglagesBode(const QString &fichier, TReglagesBode &r);
// Writes the file atomically (a failed write leaves the previous file whole); false on failure.
bool SauveReglagesBode(const QString &fichier, const TReglagesBode &r);
