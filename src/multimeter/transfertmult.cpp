#include "multimeter/transfertmult.h"

#include "measure/graphe.h"

#include <algorithm>

namespace {

TVoieGraphe voieGraphe(const Tvoie &v, int n)
{
    TVoieGraphe g;
    g.nom = v.Nom;
    g.unite = v.Unite;
    g.commentaire = v.Commentaire;
    g.valeurs.reserve(n);
    g.incertitudes.reserve(n);
    for (int i = 0; i < n; ++i) {
        g.valeurs.append(v.valeur[size_t(i)]);
        g.incertitudes.append(v.incertitude[size_t(i)]);
    }
    return g;
}

} // namespace

TPage PageMultimetre(const Tgraphe &graphe, bool acqAuto, const TInfosPage &infos)
{
    const int n = std::clamp(graphe.NbrePoints, 0, NbrePointsMax);
    const int derniere = std::clamp(graphe.DerniereVoie, 0, 4);
    QList<TVoieGraphe> voies;
    for (int j = 0; j <= derniere; ++j)
        voies.append(voieGraphe(graphe.voie[size_t(j)], n));
    const TVoieGraphe temps = voieGraphe(graphe.voie[VoieTemps], n);
    return PageTransfertMult(voies, n, acqAuto ? &temps : nullptr, infos);
}

QString TexteTransfertMultimetre(const Tgraphe &graphe, bool acqAuto, const TInfosPage &infos,
                                 const QString &cheminProgramme)
{
    return TexteTransfert(PageMultimetre(graphe, acqAuto, infos), cheminProgramme);
}

TTransfertMultimetre PrepareTransfertMultimetre(Tgraphe &graphe, bool acqAuto, const TInfosPage &infos,
                                                const QString &cheminProgramme)
{
    if (!acqAuto)
        graphe.tri();
    TTransfertMultimetre t;
    t.texte = TexteTransfertMultimetre(graphe, acqAuto, infos, cheminProgramme);
    t.ordre = OrdrePourChoix(infos.choix);
    t.choixSuivant = 1;
    return t;
}
