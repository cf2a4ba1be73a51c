// Ondivar: acquisition from oscilloscopes for Korvalis.
#include "link/dossiers.h"
#include "measure/dialoguewidgets.h"
#include "measure/unites.h"
#include "shell/fenetreprincipale.h"
#include "shell/grec.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ondivar"));
    QApplication::setApplicationDisplayName(QStringLiteral("Acquisition avec Ondivar"));
    ConstruitDossiers();
    (void)UniteStandard(0);   // the table of standard units

    TDialogueWidgets boites;
    setDialogue(&boites);
    TFiltreGrec grec;
    app.installEventFilter(&grec);

    TAgilentFormMain fenetre;
    fenetre.show();
    const int rc = app.exec();
    setDialogue(nullptr);
    return rc;
}
