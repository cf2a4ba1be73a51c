#include "shell/demarrage.h"

#include "measure/dialoguewidgets.h"

#include <QCoreApplication>

QString TitreApplication() { return QStringLiteral("Acquisition avec Ondivar"); }

void PrepareApplication(TDialogueWidgets &boites)
{
    QCoreApplication::setApplicationName(QStringLiteral("Ondivar"));
    boites.titre = TitreApplication();
}
