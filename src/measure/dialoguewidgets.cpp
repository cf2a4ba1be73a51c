#include "measure/dialoguewidgets.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace {

void centreSurEcran(QMessageBox &boite)
{
    boite.adjustSize();
    QScreen *ecran = boite.screen() ? boite.screen() : QGuiApplication::primaryScreen();
    if (!ecran)
        return;
    QRect cadre = boite.frameGeometry();
    cadre.moveCenter(ecran->availableGeometry().center());
    boite.move(cadre.topLeft());
}

} // namespace

std::unique_ptr<QMessageBox> TDialogueWidgets::boite(bool question, const QString &message) const
{
    auto b = std::make_unique<QMessageBox>(question ? QMessageBox::Question : QMessageBox::Information,
                                           titre.isEmpty() ? QGuiApplication::applicationDisplayName() : titre,
                                           message);
    if (question) {
        QPushButton *oui = b->addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
        QPushButton *non = b->addButton(QStringLiteral("Non"), QMessageBox::NoRole);
        b->setDefaultButton(oui);
        b->setEscapeButton(non);
    } else {
        b->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    }
    centreSurEcran(*b);
    return b;
}

bool TDialogueWidgets::confirm(const QString &message)
{
    const std::unique_ptr<QMessageBox> b = boite(true, message);
    b->exec();
    return b->clickedButton() && b->buttonRole(b->clickedButton()) == QMessageBox::YesRole;
}

void TDialogueWidgets::inform(const QString &message)
{
    boite(false, message)->exec();
}
