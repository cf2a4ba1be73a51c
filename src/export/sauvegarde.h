#pragma once
// Saving a page: Windows-1252 bytes written to a temporary file beside the target,
// then renamed over it, so a failed save leaves any earlier file of that name intact.
#include "export/pages.h"

struct TResultatSauvegarde {
    bool ok = false;
    QString message;     // the French message of a failure; empty on success
    int remplaces = 0;   // characters written as "?" (no Windows-1252 byte)
};

// Writes texte in Windows-1252 to nomFichier, atomically.
TResultatSauvegarde EcritFichierTexte(const QString &nomFichier, const QString &texte);
// Writes octets to nomFichier, atomically (remplaces stays 0).
TResultatSauvegarde EcritFichierOctets(const QString &nomFichier, const QByteArray &octets);

// The text of a form. Kvx and TableauSimple take the reduced page (PageFichierOsc),
// the tables the page of the selected range (PageTableauOsc).
QString TexteFichier(const TPage &page, TForme forme, const QString &identification,
                     const QString &cheminProgramme = CheminProgramme());

// The whole save of an oscilloscope or Rigol window: the form chosen by the extension of
// nomFichier for that save path, the page built from the record, the file written.
// [debut, fin] is the range of the tables (the Rigol window gives 0, nbreLus - 1).
// A failure is shown with Inform and gives false (the window keeps AcqAsauver);
// characters written as "?" are reported with Inform after a successful save.
bool SauveEnregistrement(const QString &nomFichier, TCheminSauvegarde chemin,
                         const TEnregistrement &e, int nbrePoints, int debut, int fin,
                         const QString &identification);
