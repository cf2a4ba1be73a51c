#include "multimeter/voiesdlg.h"

#include "export/groupechoix.h"
#include "multimeter/voiesmult.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QGroupBox *boite(const QString &titre, QWidget *parent, QWidget *contenu, QWidget *suite = nullptr)
{
    auto *g = new QGroupBox(titre, parent);
    auto *l = new QHBoxLayout(g);
    l->addWidget(contenu, 1);
    if (suite)
        l->addWidget(suite);
    return g;
}

// The maximum as the user reads numbers: the locale's decimal mark, no grouping.
QString texteMaxi(double x)
{
    QLocale l;
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(x, 'g', 6);
}

} // namespace

TVoiesDlg::TVoiesDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("VoiesDlg"));
    setWindowTitle(QStringLiteral("Configuration d'une voie"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    ListeCommande = new QListWidget(this);
    ListeCommande->setObjectName(QStringLiteral("ListeCommande"));
    for (const TvoieRecord &r : TableMesures) {
        TvoieHP v;
        v.AppliqueMesure(r);
        ListeVoieHP.append(v);
        ListeCommande->addItem(v.Signif);
    }
    // Every row shows without a scroll bar.
    ListeCommande->setMinimumHeight(ListeCommande->sizeHintForRow(0) * int(TableMesures.size())
                                    + 2 * ListeCommande->frameWidth() + 4);
    ListeCommande->setMinimumWidth(ListeCommande->sizeHintForColumn(0) + 2 * ListeCommande->frameWidth() + 16);

    NumVoieRG = new TGroupeChoix(QStringLiteral("Voie"), 2, this);
    NumVoieRG->setObjectName(QStringLiteral("NumVoieRG"));
    NumVoieRG->setItems({QStringLiteral("CH1"), QStringLiteral("CH2")});
    NumVoieRG->setItemIndex(0);

    EditMaxi = new QLineEdit(this);
    EditMaxi->setObjectName(QStringLiteral("EditMaxi"));
    UniteLabel = new QLabel(this);
    UniteLabel->setObjectName(QStringLiteral("UniteLabel"));
    UniteLabel->setMinimumWidth(UniteLabel->fontMetrics().horizontalAdvance(QStringLiteral("MHz")));
    EditNom = new QLineEdit(this);
    EditNom->setObjectName(QStringLiteral("EditNom"));
    EditComm = new QLineEdit(this);
    EditComm->setObjectName(QStringLiteral("EditComm"));

    ActiveBtn = new QPushButton(QStringLiteral("Activer"), this);
    ActiveBtn->setObjectName(QStringLiteral("ActiveBtn"));
    ActiveBtn->setDefault(true);
    DesactiveBtn = new QPushButton(QStringLiteral("&Désactiver"), this);
    DesactiveBtn->setObjectName(QStringLiteral("DesactiveBtn"));
    CancelBtn = new QPushButton(QStringLiteral("Annuler"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    auto *droite = new QVBoxLayout;
    droite->addWidget(NumVoieRG);
    droite->addWidget(boite(QStringLiteral("Maxi du graphe"), this, EditMaxi, UniteLabel));
    droite->addWidget(boite(QStringLiteral("Nom"), this, EditNom));
    droite->addWidget(boite(QStringLiteral("Signification"), this, EditComm));
    droite->addStretch();
    auto *haut = new QHBoxLayout;
    haut->addWidget(ListeCommande);
    haut->addLayout(droite, 1);
    auto *boutons = new QHBoxLayout;
    boutons->addStretch();
    boutons->addWidget(ActiveBtn);
    boutons->addWidget(DesactiveBtn);
    boutons->addWidget(CancelBtn);
    auto *racine = new QVBoxLayout(this);
    racine->addLayout(haut);
    racine->addLayout(boutons);
    racine->setSizeConstraint(QLayout::SetFixedSize);

    connect(ListeCommande, &QListWidget::currentRowChanged, this, [this] { ListeCommandeClick(); });
    connect(ActiveBtn, &QPushButton::clicked, this, [this] { ActiveBtnClick(true); });
    connect(DesactiveBtn, &QPushButton::clicked, this, [this] { ActiveBtnClick(false); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TVoiesDlg::showEvent(QShowEvent *e)
{
    FormActivate();
    QDialog::showEvent(e);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TVoiesDlg::FormActivate()
{
    if (!VoieLue)
        return;
    NumVoieRG->setItemIndex(VoieLue->NumVoie == 2 ? 1 : 0);
    ModifNom = false;
    int rang = -1;
    for (int i = 0; i < ListeVoieHP.size(); ++i)
        if (ListeVoieHP[i].Signif == VoieLue->Signif) {
            rang = i;
            break;
        }
    // The unit is shown before the selection moves, so that selecting the channel's own
    // measurement is no change of unit.
    UniteLabel->setText(VoieLue->Unite);
    ListeCommande->setCurrentRow(rang);
    if (rang < 0)
        ListeCommande->clearSelection();
    ModifNom = true;
    EditMaxi->setText(texteMaxi(VoieLue->maxi));
    EditNom->setText(VoieLue->Nom);
    EditComm->setText(VoieLue->Commentaire);
    UniteLabel->setText(VoieLue->Unite);
}

void TVoiesDlg::ListeCommandeClick()
{
    const int rang = ListeCommande->currentRow();
    if (rang < 0 || rang >= ListeVoieHP.size())
        return;
    const TvoieHP &r = ListeVoieHP[rang];
    const bool autreUnite = r.Unite != UniteLabel->text();
    UniteLabel->setText(r.Unite);
    if (ModifNom && autreUnite) {
        EditNom->setText(NomSuggere(r.Nom, NumVoieRG->itemIndex() + 1));
        EditMaxi->setText(texteMaxi(r.maxi));
    }
}

void TVoiesDlg::ActiveBtnClick(bool active)
{
    if (VoieLue) {
        TSaisieVoie s;
        s.active = active;
        s.entree = NumVoieRG->itemIndex() + 1;
        const int rang = ListeCommande->currentRow();
        s.mesure = (rang >= 0 && rang < ListeVoieHP.size() && ListeCommande->currentItem()
                    && ListeCommande->currentItem()->isSelected())
                       ? &ListeVoieHP[rang]
                       : nullptr;
        s.nom = EditNom->text();
        s.commentaire = EditComm->text();
        s.maxi = EditMaxi->text();
        AppliqueSaisieVoie(*VoieLue, s);
    }
    accept();
}
