#pragma once
// The arguments of one ondivar-cli command, read in turn: "--nom valeur" and "--nom=valeur",
// integers within their range, the options every command shares (--port, --baud, --trace)
// and the usage errors, in French, with the exit code 2.
#include <QString>
#include <QStringList>

class QTextStream;

// texte as an integer of min..max (spaces around allowed); valeur is left alone otherwise.
bool LitEntierCli(const QString &texte, int &valeur, int min, int max);

// Prints message and where the help is ("ondivar-cli <commande> --help", or "ondivar-cli
// --help" without a command); answers the usage exit code 2.
int ErreurUsageCli(QTextStream &err, const QString &commande, const QString &message);

class TArgumentsCli {
public:
    // commande names the help to point at ("acquire": "ondivar-cli acquire --help").
    TArgumentsCli(const QStringList &args, const QString &commande, QTextStream &err);

    // Moves to the next argument; false past the last one.
    bool suivant();
    // The argument, without an attached "=valeur".
    const QString &nom() const { return nom_; }
    // The argument as given.
    const QString &texte() const { return args_.at(i_); }
    bool est(const char *option) const { return nom_ == QLatin1String(option); }
    // The option's value, attached or the next argument; false when there is none.
    bool valeur(QString &v);
    // The value as an integer of min..max; false when missing or out of range.
    bool entier(int &v, int min, int max);

    // Prints message and where the help is; answers 2.
    int erreur(const QString &message) const;
    // "L'option X demande une valeur."
    int manque() const;

    // The value of --korvalis: load, add and, when avecPlus, plus, in any letter case, as the
    // page dialog's choice 0, 1 or 2. Answers 0, or 2 after the message of a bad value.
    int choixKorvalis(int &choix, bool avecPlus = true);

    // --port N, --baud B, --trace. True when the argument is one of them: code is then 0, or
    // 2 after the message of a bad value.
    bool commune(int &port, int &baud, bool &trace, int &code);

private:
    const QStringList &args_;
    QString commande_;
    QTextStream &err_;
    qsizetype i_ = -1;
    QString nom_;
    QString attachee_;
    bool avecValeur_ = false;
};
