#pragma once
// The sweep's dialog: the generator's resource and dialect, the start and stop frequencies,
// the points per decade and the settling wait. OK refuses, with its French message, values
// the sweep could not run.
#include "generator/reglagesbalayage.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TBalayageDlg : public QDialog {
    Q_OBJECT
public:
    explicit TBalayageDlg(const TReglagesBalayage &r, QWidget *parent = nullptr);

    // Shows r; what the dialog does not show (amplitude...) is kept as r has it.
    void charge(const TReglagesBalayage &r);
    // The values shown, over the ones loaded; false with the French message in erreur when
    // the sweep could not run with them.
    bool litValeurs(TReglagesBalayage &r, QString &erreur) const;
    // The values accepted by OK (the ones loaded before).
    const TReglagesBalayage &reglages() const { return r_; }

    // OK: accepted only when the values are good; otherwise the message box says why and
    // the dialog stays open.
    void accept() override;

    QLineEdit *RessourceEdit = nullptr;
    QComboBox *DialecteCB = nullptr;
    QLineEdit *DebutEdit = nullptr;
    QLineEdit *FinEdit = nullptr;
    QSpinBox *ParDecadeSpin = nullptr;
    QSpinBox *AttenteSpin = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *AnnulerBtn = nullptr;

private:
    TReglagesBalayage r_;
};

// A frequency as typed: a number with "." or ",", an SI prefix letter and "Hz" allowed
// ("1,5 kHz", "200", "10k"); NaN when it is none.
double LitFrequenceSaisie(const QString &texte);
