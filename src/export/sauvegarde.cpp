#include "export/sauvegarde.h"

#include "export/windows1252.h"
#include "measure/unites.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString messageErreur(const QString &nom, QFileDevice::FileError erreur, bool ouverture)
{
    const QString f = QStringLiteral("« ") + QDir::toNativeSeparators(nom) + QStringLiteral(" »");
    if (ouverture)
        return QStringLiteral("Erreur d'entrée/sortie : impossible de créer le fichier ") + f
               + QStringLiteral(" (dossier absent ou protégé en écriture). Le fichier n'a pas été enregistré.");
    switch (erreur) {
    case QFileDevice::ResourceError:
        return QStringLiteral("Erreur d'entrée/sortie : disque plein en écrivant le fichier ") + f
               + QStringLiteral(". Le fichier n'a pas été enregistré ; un fichier antérieur de ce nom est intact.");
    case QFileDevice::RenameError:
        return QStringLiteral("Erreur d'entrée/sortie : impossible de remplacer le fichier ") + f
               + QStringLiteral(". Le fichier n'a pas été enregistré ; un fichier antérieur de ce nom est intact.");
    default:
        return QStringLiteral("Erreur d'entrée/sortie en écrivant le fichier ") + f
               + QStringLiteral(". Le fichier n'a pas été enregistré ; un fichier antérieur de ce nom est intact.");
    }
}

} // namespace

TResultatSauvegarde EcritFichierTexte(const QString &nomFichier, const QString &texte)
{
    int remplaces = 0;
    const QByteArray octets = EnWindows1252(texte, &remplaces);
    TResultatSauvegarde r = EcritFichierOctets(nomFichier, octets);
    r.remplaces = remplaces;
    return r;
}

TResultatSauvegarde EcritFichierOctets(const QString &nomFichier, const QByteArray &octets)
{
    TResultatSauvegarde r;
    if (nomFichier.isEmpty() || QFileInfo(nomFichier).isDir()) {
        r.message = messageErreur(nomFichier, QFileDevice::OpenError, true);
        return r;
    }
    QSaveFile f(nomFichier);
    f.setDirectWriteFallback(false);
    if (!f.open(QIODevice::WriteOnly)) {
        r.message = messageErreur(nomFichier, f.error(), true);
        return r;
    }
    // A full disk may take part of the last buffer without an error being reported (the
    // write just stops short): the size of what reached the file tells.
    if (f.write(octets) != octets.size() || !f.flush() || f.size() != octets.size()) {
        const QFileDevice::FileError e = f.error() == QFileDevice::NoError ? QFileDevice::ResourceError : f.error();
        f.cancelWriting();
        r.message = messageErreur(nomFichier, e, false);
        return r;
    }
    if (!f.commit()) {
        r.message = messageErreur(nomFichier, f.error(), false);
        return r;
    }
    r.ok = true;
    return r;
}

QString TexteFichier(const TPage &page, TForme forme, const QString &identification,
                     const QString &cheminProgramme)
{
    switch (forme) {
    case TForme::Kvx:
        return TexteKvx(page, cheminProgramme);
    case TForme::Csv:
        return TexteTableau(page, identification, SeparateurCsv(), QStringLiteral("\n"));
    case TForme::Tabulation:
        return TexteTableau(page, identification, QLatin1Char('\t'), FinLigneCRLF());
    case TForme::TableauSimple:
        return TexteTableauSimple(page, identification);
    }
    return QString();
}

bool SauveEnregistrement(const QString &nomFichier, TCheminSauvegarde chemin,
                         const TEnregistrement &e, int nbrePoints, int debut, int fin,
                         const QString &identification)
{
    const TForme forme = FormeParExtension(nomFichier, chemin);
    const bool reduite = forme == TForme::Kvx || forme == TForme::TableauSimple;
    const TPage page = reduite ? PageFichierOsc(e, nbrePoints) : PageTableauOsc(e, debut, fin);
    const TResultatSauvegarde r = EcritFichierTexte(nomFichier, TexteFichier(page, forme, identification));
    if (!r.ok) {
        Inform(r.message);
        return false;
    }
    if (r.remplaces > 0)
        Inform(QStringLiteral("%1 caractère(s) sans équivalent dans le jeu Windows-1252 remplacé(s) par « ? » "
                              "dans le fichier « %2 ».")
                   .arg(r.remplaces)
                   .arg(QDir::toNativeSeparators(nomFichier)));
    return true;
}
