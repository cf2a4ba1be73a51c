#include "export/clisend.h"

#include "export/formedde.h"
#include "export/windows1252.h"
#include "link/dossiers.h"
#include "measure/unites.h"

#include <QFile>
#include <QStringDecoder>

namespace {

constexpr qint64 TailleMaxTexte = 64 * 1024 * 1024;

void usage(QTextStream &err)
{
    err << "Usage : ondivar-cli send --ordre load|add|plus|addcol FICHIER|-" << Qt::endl;
}

bool litTout(QIODevice &d, QByteArray &octets, QTextStream &err, const QString &nom)
{
    octets.clear();
    for (;;) {
        if (d.atEnd() && !d.isSequential())
            break;
        const QByteArray morceau = d.read(1 << 16);
        if (morceau.isEmpty()) {
            if (d.isSequential() && d.waitForReadyRead(-1))
                continue;
            break;
        }
        octets += morceau;
        if (octets.size() > TailleMaxTexte) {
            err << "Texte trop long (plus de 64 Mio) : " << nom << Qt::endl;
            return false;
        }
    }
    return true;
}

} // namespace

int cliSend(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QFile entree;
    if (!entree.open(stdin, QIODevice::ReadOnly)) {
        err << "Impossible de lire l'entrée standard." << Qt::endl;
        return 2;
    }
    return cliSend(args, out, err, entree);
}

int cliSend(const QStringList &args, QTextStream &out, QTextStream &err, QIODevice &entree)
{
    Q_UNUSED(out);
    QString ordreTexte;
    QString fichier;
    bool fichierDonne = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--ordre")) {
            if (++i >= args.size()) {
                err << "L'option --ordre demande une valeur." << Qt::endl;
                usage(err);
                return 2;
            }
            ordreTexte = args.at(i);
        } else if (a.startsWith(QLatin1String("--ordre="))) {
            ordreTexte = a.mid(8);
        } else if (a != QLatin1String("-") && a.startsWith(QLatin1Char('-'))) {
            err << "Option inconnue : " << a << Qt::endl;
            usage(err);
            return 2;
        } else if (fichierDonne) {
            err << "Un seul fichier à la fois : " << a << Qt::endl;
            usage(err);
            return 2;
        } else {
            fichier = a;
            fichierDonne = true;
        }
    }
    static const struct { const char *mot; Tenvoi ordre; } ordres[] = {
        {"load", eLoad}, {"add", eAdd}, {"plus", ePlus}, {"addcol", eAddCol}};
    Tenvoi ordre = eLoad;
    bool trouve = false;
    for (const auto &o : ordres)
        if (ordreTexte.compare(QLatin1String(o.mot), Qt::CaseInsensitive) == 0) {
            ordre = o.ordre;
            trouve = true;
        }
    if (!trouve) {
        err << (ordreTexte.isEmpty() ? QStringLiteral("L'option --ordre manque.")
                                     : QStringLiteral("Ordre inconnu : ") + ordreTexte)
            << Qt::endl;
        usage(err);
        return 2;
    }
    if (!fichierDonne) {
        err << "Le fichier du texte à transmettre manque." << Qt::endl;
        usage(err);
        return 2;
    }

    QByteArray octets;
    if (fichier == QLatin1String("-")) {
        if (!litTout(entree, octets, err, QStringLiteral("entrée standard")))
            return 2;
    } else {
        QFile f(fichier);
        if (!f.open(QIODevice::ReadOnly)) {
            err << "Impossible de lire le fichier « " << fichier << " »." << Qt::endl;
            return 2;
        }
        if (!litTout(f, octets, err, fichier))
            return 2;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString texte = utf8.decode(octets);
    if (utf8.hasError())
        texte = DeWindows1252(octets);

    if (DossierAnalyse.isEmpty())
        ConstruitDossiers();
    TDialogueFlux d(err);
    TDialogueTemporaire garde(&d);
    TFormDDE dde(false);
    return dde.Execute(ordre, texte) == TResultatEnvoi::Envoye ? 0 : 1;
}
