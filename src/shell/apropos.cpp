#include "shell/apropos.h"

#include "measure/unites.h"
#include "shell/noyau.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("A propos"));
    ouvreUrl = [](const QString &url) { return QDesktopServices::openUrl(QUrl(url)); };
    auto *icone = new QLabel(this);
    icone->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    auto *texte = new QLabel(QStringLiteral("Acquisition par HP/Agilent 546xx ; SEFRAM 5x50\n"
                                            "Instek GDS ; RIGOL DS1000 ; FI3xxx\n"
                                            "Version 3.07 du 29/11/2019"),
                             this);
    texte->setObjectName(QStringLiteral("Lignes"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setDefault(true);
    MiseAJourBtn = new QPushButton(QStringLiteral("Version à jour"), this);
    auto *haut = new QHBoxLayout;
    haut->addWidget(icone);
    haut->addWidget(texte, 1);
    auto *bas = new QHBoxLayout;
    bas->addStretch();
    bas->addWidget(MiseAJourBtn);
    bas->addWidget(OKButton);
    auto *l = new QVBoxLayout(this);
    l->addLayout(haut);
    l->addLayout(bas);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(MiseAJourBtn, &QPushButton::clicked, this, &TAboutBox::MiseAJourClick);
}

void TAboutBox::MiseAJourClick()
{
    const QString url = TNoyauPrincipal::adresseMiseAJour();
    if (!ouvreUrl || !ouvreUrl(url))
        Inform(QStringLiteral("Impossible d'accéder à ") + url);
}
