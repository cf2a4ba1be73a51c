#pragma once
// Message boxes on screen for Confirm and Inform.
#include "measure/unites.h"

#include <QString>

class QMessageBox;

// Modal boxes centred on the screen: "Oui" / "Non" for confirmations, "OK" for information.
// Install with setDialogue(&instance) once the QApplication exists.
class TDialogueWidgets : public IDialogue {
public:
    bool confirm(const QString &message) override;
    void inform(const QString &message) override;
    // Caption of the boxes; the application's display name when empty.
    QString titre;
};
