#pragma once
// The sweep's dialog as the window tests fill it: the generator, the range, no settling wait
// (the simulated filter settles at once), then OK.
#include "generator/balayagedlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

inline int AccepteBalayage(TBalayageDlg &d, const QString &ressource, const QString &debut, const QString &fin,
                           int parDecade)
{
    d.RessourceEdit->setText(ressource);
    d.DebutEdit->setText(debut);
    d.FinEdit->setText(fin);
    d.ParDecadeSpin->setValue(parDecade);
    d.AttenteSpin->setValue(0);
    d.OKBtn->click();
    return d.result();
}
