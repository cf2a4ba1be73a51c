#include "instrument/argumentscli.h"

#include <QTextStream>

bool LitEntierCli(const QString &texte, int &valeur, int min, int max)
{
    bool ok = false;
    const int v = texte.trimmed().toInt(&ok);
    if (!ok || v < min || v > max)
        return false;
    valeur = v;
    return true;
}

TArgumentsCli::TArgumentsCli(const QStringList &args, const QString &commande, QTextStream &err)
    : args_(args), commande_(commande), err_(err)
{
}

bool TArgumentsCli::suivant()
{
    if (++i_ >= args_.size())
        return false;
    nom_ = args_.at(i_);
    attachee_.clear();
    avecValeur_ = false;
    const qsizetype egal = nom_.indexOf(QLatin1Char('='));
    if (nom_.startsWith(QLatin1String("--")) && egal > 2) {
        attachee_ = nom_.mid(egal + 1);
        nom_ = nom_.left(egal);
        avecValeur_ = true;
    }
    return true;
}

bool TArgumentsCli::valeur(QString &v)
{
    if (avecValeur_) {
        v = attachee_;
        return true;
    }
    if (i_ + 1 >= args_.size())
        return false;
    v = args_.at(++i_);
    return true;
}

bool TArgumentsCli::entier(int &v, int min, int max)
{
    QString texte;
    return valeur(texte) && LitEntierCli(texte, v, min, max);
}

int ErreurUsageCli(QTextStream &err, const QString &commande, const QString &message)
{
    err << message << QStringLiteral("\n(ondivar-cli ") << (commande.isEmpty() ? QString() : commande + QLatin1Char(' '))
        << QStringLiteral("--help pour l'aide)") << Qt::endl;
    return 2;
}

int TArgumentsCli::erreur(const QString &message) const { return ErreurUsageCli(err_, commande_, message); }

int TArgumentsCli::manque() const
{
    return erreur(QStringLiteral("L'option ") + nom_ + QStringLiteral(" demande une valeur."));
}

int TArgumentsCli::choixKorvalis(int &choix, bool avecPlus)
{
    QString v;
    if (!valeur(v))
        return manque();
    const QString m = v.toLower();
    if (m == QLatin1String("load"))
        choix = 0;
    else if (m == QLatin1String("add"))
        choix = 1;
    else if (avecPlus && m == QLatin1String("plus"))
        choix = 2;
    else
        return erreur(QStringLiteral("--korvalis attend ") + (avecPlus ? QStringLiteral("load, add ou plus") : QStringLiteral("load ou add"))
                      + QStringLiteral(", pas « ") + v + QStringLiteral(" »"));
    return 0;
}

bool TArgumentsCli::commune(int &port, int &baud, bool &trace, int &code)
{
    code = 0;
    if (est("--trace")) {
        trace = true;
    } else if (est("--port")) {
        if (!entier(port, 1, 50))
            code = erreur(QStringLiteral("--port attend un numéro de voie de 1 à 50"));
    } else if (est("--baud")) {
        if (!entier(baud, 50, 4000000))
            code = erreur(QStringLiteral("--baud attend une vitesse en bauds (par exemple 19200)"));
    } else {
        return false;
    }
    return true;
}
