#include "export/page.h"

#include "link/parsenumber.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

namespace {

const QChar tab = QLatin1Char('\t');

// Fields joined by the page's separator placement.
QString joint(const QStringList &champs, TSeparation sep)
{
    if (sep == TSeparation::Avant)
        return champs.join(tab);
    QString s;
    for (const QString &c : champs) {
        s += c;
        s += tab;
    }
    return s;
}

QStringList champ(const TPage &page, QString TColonne::*membre)
{
    QStringList l;
    l.reserve(page.colonnes.size());
    for (const TColonne &c : page.colonnes)
        l.append(c.*membre);
    return l;
}

// "£" n " KEYWORD" then one line per column.
void sectionEntete(QString &s, const QStringList &valeurs, const char *motCle)
{
    s += QChar(0x00A3) + QString::number(valeurs.size()) + QLatin1Char(' ') + QLatin1String(motCle) + FinLigneCRLF();
    for (const QString &v : valeurs)
        s += v + FinLigneCRLF();
}

} // namespace

QString CheminProgramme()
{
    return QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
}

QString TexteKvx(const TPage &page, const QString &cheminProgramme)
{
    const QString fin = FinLigneCRLF();
    QString s;
    s += QStringLiteral("QUINTARE KORVALIS WINDOWS 1.0") + fin;
    sectionEntete(s, champ(page, &TColonne::nom), "NOM VAR");
    sectionEntete(s, champ(page, &TColonne::unite), "UNITE VAR");
    sectionEntete(s, champ(page, &TColonne::signif), "SIGNIF VAR");
    sectionEntete(s, {cheminProgramme}, "ACQUISITION");
    sectionEntete(s, {QString()}, "PAGE COMMENT");
    s += QLatin1Char('&') + QString::number(page.lignes.size()) + QStringLiteral(" VALEUR VAR") + fin;
    for (const QStringList &ligne : page.lignes) {
        for (const QString &v : ligne) {
            s += v;
            s += QLatin1Char(' ');
        }
        s += fin;
    }
    return s;
}

QString TexteTableau(const TPage &page, const QString &identification, QChar separateur,
                     const QString &finLigne)
{
    QString s = QStringLiteral("Acquisition par ") + identification + finLigne;
    s += champ(page, &TColonne::nom).join(separateur) + finLigne;
    s += champ(page, &TColonne::unite).join(separateur) + finLigne;
    s += champ(page, &TColonne::signif).join(separateur) + finLigne;
    for (const QStringList &ligne : page.lignes)
        s += ligne.join(separateur) + finLigne;
    return s;
}

QString TexteTableauSimple(const TPage &page, const QString &identification)
{
    const QString fin = FinLigneCRLF();
    QString s = identification + fin;
    s += champ(page, &TColonne::nom).join(tab) + fin;
    s += champ(page, &TColonne::unite).join(tab) + fin;
    s += champ(page, &TColonne::signif).join(tab) + fin;
    for (const QStringList &ligne : page.lignes)
        s += joint(ligne, TSeparation::Apres) + fin;
    return s;
}

bool ParametreEcrit(const TParametre &p)
{
    return !p.nom.isEmpty() && !std::isnan(ParseNumber(p.valeur));
}

QString TexteTransfert(const TPage &page, const QString &cheminProgramme)
{
    const QString fin = FinLigneCRLF();
    const TSeparation sep = page.separation;
    QString s;
    s += cheminProgramme + fin;
    s += page.commentairePage + fin;
    s += page.commentaireGeneral + fin;
    s += joint(champ(page, &TColonne::nom), sep) + fin;
    s += joint(champ(page, &TColonne::unite), sep) + fin;
    s += joint(champ(page, &TColonne::signif), sep) + fin;
    for (const QStringList &ligne : page.lignes)
        s += joint(ligne, sep) + fin;
    if (page.avecIncertitude) {
        s += QLatin1Char('&') + QString::number(page.incertitudes.size()) + QStringLiteral(" INCERT") + fin;
        for (const QStringList &ligne : page.incertitudes)
            s += joint(ligne, sep) + fin;
    }
    if (ParametreEcrit(page.parametre)) {
        s += fin;
        s += page.parametre.nom + fin;
        s += page.parametre.unite + fin;
        s += page.parametre.valeur + fin;
    }
    if (page.avecXY) {
        s += QStringLiteral("&1 NOMX") + fin + page.nomX + fin;
        s += QStringLiteral("&1 NOMY") + fin + page.nomY + fin;
    }
    if (page.styleLigne) {
        const qsizetype k = page.colonnes.isEmpty() ? 0 : page.colonnes.size() - 1;
        s += QLatin1Char('&') + QString::number(k) + QStringLiteral(" LIGNE") + fin;
        for (qsizetype i = 0; i < k; ++i)
            s += QStringLiteral("2") + fin;
    }
    return s;
}

// ---- Choice of form ---------------------------------------------------------

TForme FormeParExtension(const QString &nomFichier, TCheminSauvegarde chemin)
{
    const QString ext = QFileInfo(nomFichier).suffix().toUpper();
    switch (chemin) {
    case TCheminSauvegarde::Oscillo:
        if (ext == QLatin1String("KVX"))
            return TForme::Kvx;
        return ext == QLatin1String("CSV") ? TForme::Csv : TForme::Tabulation;
    case TCheminSauvegarde::TableauRigol:
        return ext == QLatin1String("CSV") ? TForme::Csv : TForme::Tabulation;
    case TCheminSauvegarde::KorvalisRigol:
        return ext == QLatin1String("KVX") ? TForme::Kvx : TForme::TableauSimple;
    }
    return TForme::Tabulation;
}

QString AvecExtension(const QString &nomFichier, const QString &ext)
{
    if (!QFileInfo(nomFichier).suffix().isEmpty())
        return nomFichier;
    QString base = nomFichier;
    if (base.endsWith(QLatin1Char('.')) && ext.startsWith(QLatin1Char('.')))
        base.chop(1);
    return base + ext;
}

QChar SeparateurCsv()
{
    return QLocale().decimalPoint() == QLatin1String(".") ? QLatin1Char(',') : QLatin1Char(';');
}

// ---- Reductions -------------------------------------------------------------

int PasReduction(int nbreLus, int nbrePoints)
{
    if (nbrePoints <= 0 || nbreLus <= 0)
        return 1;
    const int k = nbreLus / nbrePoints;
    return k == 0 ? 1 : k;
}

int NbreLignesReduites(int nbreLus, int nbrePoints)
{
    if (nbreLus <= 0)
        return 0;
    const int k = PasReduction(nbreLus, nbrePoints);
    return (nbreLus + k - 1) / k;
}

int PasTransfert(int debut, int fin, int nbrePoints)
{
    return PasReduction(fin - debut + 1, nbrePoints);
}
