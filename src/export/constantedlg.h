#pragma once
// The page dialog of the multimeter and Bode windows: "Renseignements sur la page courante".
#include "export/pages.h"

#include <QDialog>

class QLineEdit;
class TGroupeChoix;

class TConstanteDlg : public QDialog {
    Q_OBJECT
public:
    explicit TConstanteDlg(QWidget *parent = nullptr);

    // The third choice "Ajout page courante" comes when "Nouvelle page" is selected and goes
    // when "Nouveau fichier" is; runs each time the dialog is shown.
    void FormShow();

    // 0 "Nouveau fichier", 1 "Nouvelle page", 2 "Ajout page courante".
    int choix() const;
    void setChoix(int i);
    // The order of the choice (eLoad, eAdd, ePlus).
    Tenvoi ordre() const { return OrdrePourChoix(choix()); }
    // What the dialog holds, as the page builders take it (identification left to the caller).
    TInfosPage infos() const;

    QLineEdit *NomConstEdit = nullptr;
    QLineEdit *UniteConstEdit = nullptr;
    QLineEdit *ValeurConstEdit = nullptr;
    QLineEdit *EditComm = nullptr;
    TGroupeChoix *NewPageCB = nullptr;

protected:
    void showEvent(QShowEvent *e) override;
};
