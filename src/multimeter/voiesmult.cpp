#include "multimeter/voiesmult.h"

#include "link/parsenumber.h"

#include <cmath>
#include <utility>

void InitVoies(Tgraphe &g)
{
    for (size_t i = 0; i <= 4; ++i)
        g.voie[i].AppliqueMesure(TableMesures[i]);
    g.voie[VoieAbscisse].AxeLog = true;
    MajVoies(g);
}

bool MajVoies(Tgraphe &g)
{
    // Insertion sort of 2..4 into 1..4: a channel passes another only when it is active and
    // the other is not. The label and box references stay with their positions.
    for (int i = 2; i <= 4; ++i) {
        for (int j = i; j > 1 && g.voie[size_t(j)].Active && !g.voie[size_t(j - 1)].Active; --j) {
            Tvoie &a = g.voie[size_t(j)];
            Tvoie &b = g.voie[size_t(j - 1)];
            std::swap(a, b);
            std::swap(a.LabelVoie, b.LabelVoie);
            std::swap(a.GBvoie, b.GBvoie);
        }
    }
    int actives = 0;
    for (int i = 1; i <= 4; ++i)
        if (g.voie[size_t(i)].Active)
            ++actives;
    const bool change = actives != g.DerniereVoie;
    g.DerniereVoie = actives;
    if (change)
        g.NbrePoints = 0;
    return change;
}

QString TitreVoie(const Tvoie &v, int i)
{
    QString t = QStringLiteral("CH") + QString::number(v.NumVoie) + QLatin1Char(' ');
    if (i == VoieAbscisse)
        return t + v.StrValeur(v.mini) + QStringLiteral("..") + v.StrValeur(v.maxi);
    return t + v.Signif + (v.Positive ? QStringLiteral(" +") : QStringLiteral(" \u00B1")) + v.StrValeur(v.maxi);
}

QString NomSuggere(const QString &nomMesure, int entree)
{
    // The phase is written "…" in the measurement table (the program's stand-in for φ).
    if (nomMesure == QLatin1String("f") || nomMesure == QStringLiteral("\u03C6") || nomMesure == QStringLiteral("\u2026"))
        return nomMesure;
    return nomMesure + QString::number(entree == 2 ? 2 : 1);
}

void AppliqueSaisieVoie(TvoieHP &v, const TSaisieVoie &s)
{
    v.Active = s.active;
    v.NumVoie = uint8_t(s.entree == 2 ? 2 : 1);
    if (s.mesure) {
        v.Command = s.mesure->Command;
        v.commandGDS = s.mesure->commandGDS;
        v.Signif = s.mesure->Signif;
        v.Unite = s.mesure->Unite;
        v.Positive = s.mesure->Positive;
        v.CalculIncertitude = s.mesure->CalculIncertitude;
    }
    v.Nom = s.nom;
    v.Commentaire = s.commentaire;
    const double m = ParseNumber(s.maxi);
    // A maximum that is no positive finite number would leave the graph without a scale.
    if (std::isfinite(m) && m > 0)
        v.maxi = m;
    if (v.Command == "PHAS" && v.maxi > 360)
        v.maxi = 360;
    v.mini = v.Positive ? 0 : -v.maxi;
}
