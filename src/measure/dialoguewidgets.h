#pragma once
// Message boxes on screen for Confirm and Inform.
#include "measure/unites.h"

#include <QString>
#include <memory>

class QMessageBox;

// Modal boxes centred on the screen: "Oui" / "Non" for confirmations, "OK" for information.
// Install with setDialogue(&instance) once the QApplication exists.
class TDialogueWidgets : public IDialogue {
public:
    bool confirm(const QString &message) override;
    void inform(const QString &message) override;
    // The box as it is shown, laid out and centred, not yet run: "Oui" / "Non" for a
    // question, "OK" otherwise.
    std::unique_ptr<QMessageBox> boite(bool question, const QString &message) const;
    // Caption of the boxes; the application's display name when empty.
    QString titre;
};
