#include "instrument/commandecli.h"

#include <QTextStream>

TCommandeCli::TCommandeCli(QTextStream &out, QTextStream &err)
    : out_(out), err_(err), dialogue_(err), garde_(&dialogue_)
{
    session.setVue(&vue_);
    session.setRechercheRigol(&recherche_);
}

bool TCommandeCli::detecte(int port, int baud, bool trace)
{
    session.DetectionLigneDeCommande(port, baud, trace);
    if (session.instrumentDetecte())
        return true;
    err_ << vue_.titre << Qt::endl;
    return false;
}

int TCommandeCli::fin(int code)
{
    const QString fichiers = session.FinLigneDeCommande();
    if (!fichiers.isEmpty())
        err_ << fichiers << Qt::endl;
    out_.flush();
    err_.flush();
    return code;
}

bool ModeBode(Tconstructeur c, int modele)
{
    return c == oSefram || c == oFI || (c == oGoodWill && modele != 2);
}
