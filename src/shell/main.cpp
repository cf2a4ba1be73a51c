// Ondivar: acquisition from oscilloscopes for Korvalis.
#include "drivers/pilotes.h"
#include "export/formedde.h"
#include "instrument/recherchepilotes.h"
#include "link/dossiers.h"
#include "measure/dialoguewidgets.h"
#include "measure/unites.h"
#include "multimeter/fenetremultimetre.h"
#include "shell/demarrage.h"
#include "shell/fenetreprincipale.h"
#include "shell/grec.h"
#include "scope/fenetreoscillo.h"
#include "scope/fenetrerigol.h"
#include "bode/fenetrebode.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ConstruitDossiers();
    TPilotesRigol pilotes;    // the Rigol USB and VISA driver objects
    TRecherchePilotes recherche;
    TFormDDE dde;             // the link with Korvalis, and our own service
    (void)UniteStandard(0);   // the table of standard units

    TDialogueWidgets boites;
    PrepareApplication(boites);
    setDialogue(&boites);
    TFiltreGrec grec;
    app.installEventFilter(&grec);

    TAgilentFormMain fenetre;
    fenetre.noyau.session.setRechercheRigol(&recherche);
    // Mode windows, created on first use.
    EnregistreFenetre(TFenetre::oscillo, [&fenetre] { return new TOscilloForm(&fenetre); });
    EnregistreFenetre(TFenetre::oscilloRigol, [&fenetre] { return new TOscilloRigolForm(&fenetre); });
    EnregistreFenetre(TFenetre::bode, [&fenetre] { return new TBodeForm(&fenetre); });
    EnregistreFenetre(TFenetre::multimetre, [&fenetre, &app] { return new TMultimetreForm(&fenetre, app.arguments().mid(1)); });
    dde.setFocusMain = [&fenetre] { fenetre.setFocusMain(); };
    fenetre.show();
    // ONDIVAR_CAPTURE=file.png: once the detection has run, the window is saved as a
    // picture and the program ends (screenshots for the documentation).
    const QString capture = qEnvironmentVariable("ONDIVAR_CAPTURE");
    if (!capture.isEmpty())
        QTimer::singleShot(4000, &fenetre, [&fenetre, capture] {
            fenetre.grab().save(capture);
            QApplication::quit();
        });
    const int rc = app.exec();
    setDialogue(nullptr);
    return rc;
}
