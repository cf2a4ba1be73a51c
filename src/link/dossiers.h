#pragma once
// The program's folders.
#include <QString>

enum class TDossierSpecial { Documents, Programmes };

// The user's documents folder (XDG) or the folder where applications are installed
// (/opt, where Korvalis lives on Linux), ending with "/"; empty when unknown.
QString SpecialFolder(TDossierSpecial which);

// Data folder: documents + "Korvalis/" (trace, log, configurations); created at start.
extern QString DossierDonnees;
// Folder of the analysis application: programs + "Quintare/Korvalis/".
extern QString DossierAnalyse;

// Appends a separator unless the path already ends with one.
QString AvecSeparateur(const QString &path);
// Builds both folders and creates the data folder (with missing parents).
void ConstruitDossiers();
