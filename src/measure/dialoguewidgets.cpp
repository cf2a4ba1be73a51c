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

bool TDialogueWidgets::confirm(const QString &message)
{
    QMessageBox boite(QMessageBox::Question, titre.isEmpty() ? QGuiApplication::applicationDisplayName() : titre, message);
    QPushButton *oui = boite.addButton(QStringLiteral("Oui"), QMessageBox::YesRole);
    QPushButton *non = boite.addButton(QStringLiteral("Non"), QMessageBox::NoRole);
    boite.setDefaultButton(oui);
    boite.setEscapeButton(non);
    centreSurEcran(boite);
    boite.exec();
    return boite.clickedButton() == oui;
}

void TDialogueWidgets::inform(const QString &message)
{
    QMessageBox boite(QMessageBox::Information, titre.isEmpty() ? QGuiApplication::applicationDisplayName() : titre, message);
    boite.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    centreSurEcran(boite);
    boite.exec();
}
