#include "export/constantedlg.h"

#include "export/groupechoix.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TConstanteDlg::TConstanteDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ConstanteDlg"));
    setWindowTitle(QStringLiteral("Renseignements sur la page courante"));
    auto *racine = new QVBoxLayout(this);

    auto *gParam = new QGroupBox(QStringLiteral("Paramètre"), this);
    auto *lParam = new QGridLayout(gParam);
    NomConstEdit = new QLineEdit(gParam);
    NomConstEdit->setObjectName(QStringLiteral("NomConstEdit"));
    UniteConstEdit = new QLineEdit(gParam);
    UniteConstEdit->setObjectName(QStringLiteral("UniteConstEdit"));
    ValeurConstEdit = new QLineEdit(gParam);
    ValeurConstEdit->setObjectName(QStringLiteral("ValeurConstEdit"));
    lParam->addWidget(new QLabel(QStringLiteral("Nom"), gParam), 0, 0);
    lParam->addWidget(new QLabel(QStringLiteral("Unité"), gParam), 0, 1);
    lParam->addWidget(new QLabel(QStringLiteral("Valeur"), gParam), 0, 2);
    lParam->addWidget(NomConstEdit, 1, 0);
    lParam->addWidget(UniteConstEdit, 1, 1);
    lParam->addWidget(ValeurConstEdit, 1, 2);
    racine->addWidget(gParam);

    auto *gComm = new QGroupBox(QStringLiteral("Commentaire"), this);
    auto *lComm = new QVBoxLayout(gComm);
    EditComm = new QLineEdit(gComm);
    EditComm->setObjectName(QStringLiteral("EditComm"));
    lComm->addWidget(EditComm);
    racine->addWidget(gComm);

    NewPageCB = new TGroupeChoix(QStringLiteral("Données vers Korvalis"), 2, this);
    NewPageCB->setObjectName(QStringLiteral("NewPageCB"));
    NewPageCB->setItems({QStringLiteral("Nouveau fichier"), QStringLiteral("Nouvelle page")});
    NewPageCB->setItemIndex(0);
    racine->addWidget(NewPageCB);

    auto *boutons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    boutons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    boutons->button(QDialogButtonBox::Help)->setText(QStringLiteral("Aide"));
    connect(boutons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(boutons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(boutons, &QDialogButtonBox::helpRequested, this, [this] {
        QMessageBox::information(this, windowTitle(),
                                 QStringLiteral("Le paramètre (nom, unité, valeur) et le commentaire accompagnent "
                                                "la page envoyée à Korvalis. Le paramètre n'est écrit que si son "
                                                "nom n'est pas vide et que sa valeur est un nombre."));
    });
    racine->addWidget(boutons);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TConstanteDlg::FormShow()
{
    if (NewPageCB->count() == 2 && NewPageCB->itemIndex() == 1)
        NewPageCB->addItem(QStringLiteral("Ajout page courante"));
    else if (NewPageCB->count() == 3 && NewPageCB->itemIndex() == 0)
        NewPageCB->removeItem(2);
}

void TConstanteDlg::showEvent(QShowEvent *e)
{
    FormShow();
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(e);
}

int TConstanteDlg::choix() const { return std::max(NewPageCB->itemIndex(), 0); }

void TConstanteDlg::setChoix(int i) { NewPageCB->setItemIndex(i); }

TInfosPage TConstanteDlg::infos() const
{
    TInfosPage p;
    p.choix = choix();
    p.commentaire = EditComm->text();
    p.parametre = TParametre{NomConstEdit->text(), UniteConstEdit->text(), ValeurConstEdit->text()};
    return p;
}
