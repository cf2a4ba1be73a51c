#pragma once
// The channel dialog of the multimeter window: "Configuration d'une voie".
#include "measure/voies.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TGroupeChoix;

class TVoiesDlg : public QDialog {
    Q_OBJECT
public:
    explicit TVoiesDlg(QWidget *parent = nullptr);

    // The channel being edited (set before the dialog is shown; not owned).
    TvoieHP *VoieLue = nullptr;
    // List clicks may rewrite the name and the maximum.
    bool ModifNom = false;

    // Fills the controls from VoieLue (runs when the dialog is shown).
    void FormActivate();
    void ListeCommandeClick();
    // Writes the controls into VoieLue and closes with OK; `active` tells which button.
    void ActiveBtnClick(bool active);

    QListWidget *ListeCommande = nullptr;
    QList<TvoieHP> ListeVoieHP;
    TGroupeChoix *NumVoieRG = nullptr;
    QLineEdit *EditMaxi = nullptr;
    QLabel *UniteLabel = nullptr;
    QLineEdit *EditNom = nullptr;
    QLineEdit *EditComm = nullptr;
    QPushButton *ActiveBtn = nullptr;
    QPushButton *DesactiveBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent *e) override;
};
