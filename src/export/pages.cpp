#include "export/pages.h"

#include "link/parsenumber.h"
#include "measure/unites.h"

#include <algorithm>
#include <cmath>

namespace {

QString texteOu(const std::function<QString(int)> &f, int i)
{
    return f ? f(i) : QString();
}

// "t" / "s" / "temps", then name / "V" / meaning of every channel.
void colonnesOsc(TPage &p, const TEnregistrement &e)
{
    p.ajouteColonne(QStringLiteral("t"), QStringLiteral("s"), QStringLiteral("temps"));
    for (const TVoieEnregistree &v : e.voies)
        p.ajouteColonne(NomVoie(v), QStringLiteral("V"), v.signif);
}

QStringList ligneOsc(const TEnregistrement &e, int i)
{
    QStringList l;
    l.reserve(e.voies.size() + 1);
    l.append(texteOu(e.temps, i));
    for (const TVoieEnregistree &v : e.voies)
        l.append(texteOu(v.valeur, i));
    return l;
}

QString pageCommentaireOsc(bool nouveauFichier, const QString &identification)
{
    return nouveauFichier ? QStringLiteral("Acquisition par ") + identification : QString();
}

double point(const QList<double> &l, int i)
{
    return i >= 0 && i < l.size() ? l.at(i) : NaN();
}

void colonnesGraphe(TPage &p, const QList<TVoieGraphe> &voies)
{
    for (const TVoieGraphe &v : voies)
        p.ajouteColonne(v.nom, v.unite, v.commentaire);
}

void infosGraphe(TPage &p, const TInfosPage &infos)
{
    p.separation = TSeparation::Apres;
    p.commentairePage = infos.choix == 0 ? QStringLiteral("Diagramme de Bode avec ") + infos.identification
                                         : QString();
    p.commentaireGeneral = infos.commentaire;
    p.parametre = infos.parametre;
}

} // namespace

QString NomVoie(const TVoieEnregistree &v)
{
    if (!v.nom.isEmpty())
        return v.nom;
    return v.numero == 2 ? QStringLiteral("VB") : QStringLiteral("VA");
}

TPage PageFichierOsc(const TEnregistrement &e, int nbrePoints)
{
    TPage p;
    colonnesOsc(p, e);
    const int k = PasReduction(e.nbreLus, nbrePoints);
    p.lignes.reserve(NbreLignesReduites(e.nbreLus, nbrePoints));
    for (int i = 0; i < e.nbreLus; i += k)
        p.lignes.append(ligneOsc(e, i));
    return p;
}

TPage PageTableauOsc(const TEnregistrement &e, int debut, int fin)
{
    TPage p;
    colonnesOsc(p, e);
    debut = std::max(debut, 0);
    fin = std::min(fin, e.nbreLus - 1);
    for (int i = debut; i <= fin; ++i)
        p.lignes.append(ligneOsc(e, i));
    return p;
}

TPage PageTransfertOsc(const TEnregistrement &e, const TOptionsTransfertOsc &o)
{
    TPage p;
    colonnesOsc(p, e);
    p.commentairePage = pageCommentaireOsc(o.nouveauFichier, o.identification);
    p.commentaireGeneral = o.commentaireGeneral;
    const int debut = std::max(o.debut, 0);
    const int fin = std::min(o.fin, e.nbreLus - 1);
    if (debut <= fin) {
        const int k = PasTransfert(o.debut, o.fin, o.nbrePoints);
        // indices counted from the start of the record, not from debut
        for (int i = debut + (k - debut % k) % k; i <= fin; i += k)
            p.lignes.append(ligneOsc(e, i));
    }
    p.parametre = o.parametre;
    if (o.nouveauFichier) {
        if (!o.totalite && e.voies.size() >= 2) {
            p.avecXY = true;
            p.nomX = NomVoie(e.voies.at(0));
            p.nomY = NomVoie(e.voies.at(1));
        }
        p.styleLigne = o.totalite;
    }
    return p;
}

TPage PageTransfertPeak(const TEnregistrement &e, const TOptionsTransfertOsc &o)
{
    TPage p;
    p.ajouteColonne(QStringLiteral("t"), QStringLiteral("s"), QStringLiteral("temps"));
    for (const TVoieEnregistree &v : e.voies) {
        p.ajouteColonne(NomVoie(v) + QLatin1Char('M'), QStringLiteral("V"), v.signif + QStringLiteral(" maxi"));
        p.ajouteColonne(NomVoie(v) + QLatin1Char('m'), QStringLiteral("V"), v.signif + QStringLiteral(" mini"));
    }
    p.commentairePage = pageCommentaireOsc(o.nouveauFichier, o.identification);
    p.commentaireGeneral = o.commentaireGeneral;
    const int paires = std::max(e.nbreLus, 0) / 2;
    p.lignes.reserve(paires);
    for (int j = 0; j < paires; ++j) {
        QStringList l;
        l.append(texteOu(e.temps, 2 * j));
        for (const TVoieEnregistree &v : e.voies) {
            l.append(texteOu(v.valeur, 2 * j + 1));
            l.append(texteOu(v.valeur, 2 * j));
        }
        p.lignes.append(l);
    }
    p.parametre = o.parametre;
    const double valeur = ParseNumber(o.parametre.valeur);
    if (!std::isnan(valeur))
        p.parametre.valeur = FormatNumber(valeur);
    // X and Y name the two channels: declared only when both were sent.
    if (o.nouveauFichier && !o.totalite && e.voies.size() >= 2) {
        p.avecXY = true;
        p.nomX = NomVoie(e.voies.at(0));
        p.nomY = NomVoie(e.voies.at(1));
    }
    return p;
}

TPage PageTransfertRigol(const TEnregistrement &e, int nbrePoints, bool nouveauFichier,
                         const QString &identification)
{
    TPage p = PageFichierOsc(e, nbrePoints);
    p.commentairePage = pageCommentaireOsc(nouveauFichier, identification);
    p.styleLigne = nouveauFichier;
    return p;
}

Tenvoi OrdrePourChoix(int choix)
{
    switch (choix) {
    case 0: return eLoad;
    case 2: return ePlus;
    default: return eAdd;
    }
}

TPage PageTransfertMult(const QList<TVoieGraphe> &voies, int nbrePoints,
                        const TVoieGraphe *voieTemps, const TInfosPage &infos)
{
    TPage p;
    infosGraphe(p, infos);
    if (voieTemps)
        p.ajouteColonne(QStringLiteral("t"), QStringLiteral("s"), QStringLiteral("temps"));
    colonnesGraphe(p, voies);
    nbrePoints = std::max(nbrePoints, 0);
    p.avecIncertitude = true;
    for (int i = 0; i < nbrePoints; ++i) {
        QStringList l, u;
        if (voieTemps) {
            l.append(FormatNumber(point(voieTemps->valeurs, i)));
            u.append(QStringLiteral("0.001"));
        }
        for (const TVoieGraphe &v : voies) {
            l.append(FormatNumber(point(v.valeurs, i)));
            u.append(FormatNumber(point(v.incertitudes, i)));
        }
        p.lignes.append(l);
        p.incertitudes.append(u);
    }
    return p;
}

QString TexteGainDecibel(double gain)
{
    if (!(gain > 0))
        return QStringLiteral("0");
    const double db = 20 * std::log10(gain);
    return std::isfinite(db) ? FormatNumber(db) : QStringLiteral("0");
}

namespace {

QList<TVoieGraphe> troisVoies(const QList<TVoieGraphe> &voies)
{
    return voies.mid(0, 3);
}

QStringList ligneBode(const QList<TVoieGraphe> &voies, int i, bool axedB)
{
    QStringList l;
    for (const TVoieGraphe &v : voies)
        l.append(FormatNumber(point(v.valeurs, i)));
    if (axedB)
        l.append(TexteGainDecibel(voies.size() > 1 ? point(voies.at(1).valeurs, i) : NaN()));
    return l;
}

} // namespace

TPage PageTransfertBode(const QList<TVoieGraphe> &voies, int nbrePoints, bool axedB,
                        const TInfosPage &infos)
{
    const QList<TVoieGraphe> v3 = troisVoies(voies);
    TPage p;
    infosGraphe(p, infos);
    colonnesGraphe(p, v3);
    if (axedB)
        p.ajouteColonne(QStringLiteral("GdB"), QString(), QStringLiteral("Gain en décibel"));
    for (int i = 0; i < nbrePoints; ++i)
        p.lignes.append(ligneBode(v3, i, axedB));
    return p;
}

QString TexteTransfertBodeReduit(const QList<TVoieGraphe> &voies, int nbrePoints, bool axedB)
{
    const QList<TVoieGraphe> v3 = troisVoies(voies);
    const QString tab = QStringLiteral("\t");
    const QString fin = FinLigneCRLF();
    QString s;
    for (const TVoieGraphe &v : v3)
        s += v.nom + tab;
    if (axedB)
        s += QStringLiteral("GdB") + tab;
    s += fin;
    for (int i = 0; i < nbrePoints; ++i) {
        for (const QString &c : ligneBode(v3, i, axedB))
            s += c + tab;
        s += fin;
    }
    return s;
}
