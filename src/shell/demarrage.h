#pragma once
// The application's names. "Ondivar" names its files and settings; "Acquisition avec Ondivar",
// the program's title, is the caption of its message boxes. No display name is set: on X11
// Qt would append it to every window caption, and each window keeps its caption as written.
#include <QString>

class TDialogueWidgets;

QString TitreApplication();
void PrepareApplication(TDialogueWidgets &boites);
