#pragma once
// The hand-over of the multimeter's table to Korvalis without widgets: the transfer text
// and the order of the page dialog's choice. The window then puts the text on the link
// (TFormDDE::Execute) and sets the dialog's choice to choixSuivant.
#include "export/pages.h"

class Tgraphe;

// The page of the table as it stands: when acqAuto (AcqAutoCB checked) a first column "t",
// "s", "temps" from channel 5; then channels 0..DerniereVoie with their Nom, Unite and
// Commentaire; points 0..NbrePoints-1 by FormatNumber; the uncertainty section ("0.001" for
// the time); the page dialog's comment, parameter, and on a new file (choice 0) the line
// "Diagramme de Bode avec " + identification.
TPage PageMultimetre(const Tgraphe &graphe, bool acqAuto, const TInfosPage &infos);

// The transfer text of that page (every field followed by a tab, lines ending with CR LF).
QString TexteTransfertMultimetre(const Tgraphe &graphe, bool acqAuto, const TInfosPage &infos,
                                 const QString &cheminProgramme = CheminProgramme());

struct TTransfertMultimetre {
    QString texte;
    Tenvoi ordre = eAdd;      // choice 0 eLoad, 1 eAdd, 2 ePlus
    int choixSuivant = 1;     // the page dialog's choice after the hand-over: "Nouvelle page"
};

// EnvoieDonnees up to the link: unless acqAuto, the graph's points are first sorted by
// abscissa (Tgraphe::tri, which also unwraps the phases; the window shows them so
// afterwards); then the text and the order.
TTransfertMultimetre PrepareTransfertMultimetre(Tgraphe &graphe, bool acqAuto, const TInfosPage &infos,
                                                const QString &cheminProgramme = CheminProgramme());
