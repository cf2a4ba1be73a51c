#include "scope/exportosc.h"

#include "export/sauvegarde.h"

#include <algorithm>
#include <cmath>

TIntervalle ChercheIntervalle(const qint32 *X, const qint32 *Y, int n, bool demi)
{
    const TIntervalle tout{0, n - 1};
    if (n < 16 || !X || !Y)
        return tout;
    // Normalisation over samples 1 to n - 1 (sample 0 is often a left-over).
    qint32 minX = X[1], maxX = X[1], minY = Y[1], maxY = Y[1];
    for (int i = 2; i < n; ++i) {
        minX = std::min(minX, X[i]);
        maxX = std::max(maxX, X[i]);
        minY = std::min(minY, Y[i]);
        maxY = std::max(maxY, Y[i]);
    }
    // A flat channel has no finite normalisation: no loop can be told apart.
    if (maxX == minX || maxY == minY)
        return tout;
    const double kX = 1.0 / (double(maxX) - double(minX));
    const double kY = 1.0 / (double(maxY) - double(minY));

    // Start: the first extreme of either channel in the first half of the record.
    int iMaxX = 1, iMinX = 1, iMaxY = 1, iMinY = 1;
    for (int i = 2; i <= n / 2; ++i) {
        if (X[i] > X[iMaxX]) iMaxX = i;
        if (X[i] < X[iMinX]) iMinX = i;
        if (Y[i] > Y[iMaxY]) iMaxY = i;
        if (Y[i] < Y[iMinY]) iMinY = i;
    }
    const int s = std::min({iMaxX, iMinX, iMaxY, iMinY});
    auto d = [&](int i) {
        return std::fabs(double(X[i]) - double(X[s])) * kX + std::fabs(double(Y[i]) - double(Y[s])) * kY;
    };

    int i = s;
    do
        ++i;
    while (!(d(i) > 0.5 || i == n - 1));
    if (i == n - 1)
        return tout;
    do
        ++i;
    while (!(d(i) < 0.05 || i == n - 1));
    if (i == n - 1)
        return tout;
    int f = i;
    double meilleur = 0.05;
    do {
        ++i;
        if (d(i) < meilleur) {
            meilleur = d(i);
            f = i;
        }
    } while (!(d(i) > 0.05 || i == n - 1));
    if (f < n - 1)
        ++f;
    return demi ? TIntervalle{s, s + (f - s) / 2} : TIntervalle{s, f};
}

TIntervalle SelectionOsc(const TAcquisitionOsc &a, int choix)
{
    const int n = std::clamp(a.NbrePointsLu, 0, TailleVoie);
    if (choix == xyTotalite || !a.Voie[1].Activee || !a.Voie[2].Activee)
        return {0, n - 1};
    return ChercheIntervalle(a.Voie[1].Valeur.data(), a.Voie[2].Valeur.data(), n, choix == xyDemiPeriode);
}

void CompleteNoms(TSaisieOsc &s)
{
    if (s.nom1.isEmpty())
        s.nom1 = QStringLiteral("VA");
    if (s.nom2.isEmpty())
        s.nom2 = QStringLiteral("VB");
}

TEnregistrement EnregistrementOsc(const TAcquisitionOsc &a, const TSaisieOsc &s)
{
    TEnregistrement e;
    e.nbreLus = std::clamp(a.NbrePointsLu, 0, TailleVoie);
    const TvoieOsc *temps = &a.Voie[0];
    e.temps = [temps](int i) { return temps->strValeurR(i); };
    for (int n = 1; n <= 2; ++n) {
        if (!a.Voie[n].Activee)
            continue;
        const TvoieOsc *v = &a.Voie[n];
        TVoieEnregistree r;
        r.numero = n;
        r.nom = n == 1 ? s.nom1 : s.nom2;
        r.signif = n == 1 ? s.signif1 : s.signif2;
        r.valeur = [v](int i) { return v->strValeurR(i); };
        e.voies.append(r);
    }
    return e;
}

QString TexteEnvoiOsc(const TAcquisitionOsc &a, const TSaisieOsc &s, bool nouveauFichier,
                      const QString &identification)
{
    const TEnregistrement e = EnregistrementOsc(a, s);
    TOptionsTransfertOsc o;
    o.nouveauFichier = nouveauFichier;
    o.identification = identification;
    o.commentaireGeneral = s.commentaire;
    o.parametre = s.parametre;
    o.totalite = s.choix == xyTotalite;
    o.nbrePoints = a.NbrePoints;
    const bool peak = a.modePeak && (constructeur == oAgilent || constructeur == oHewlett);
    if (peak)
        return TexteTransfert(PageTransfertPeak(e, o), CheminProgramme());
    const TIntervalle r = SelectionOsc(a, s.choix);
    o.debut = r.debut;
    o.fin = r.fin;
    return TexteTransfert(PageTransfertOsc(e, o), CheminProgramme());
}

QString ExtensionFiltre(int filtre)
{
    switch (filtre) {
    case 1: return QStringLiteral(".TXT");
    case 2: return QStringLiteral(".CSV");
    default: return QStringLiteral(".KVX");
    }
}

QString NomSauvegardeOsc(const QString &nom, int filtre) { return AvecExtension(nom, ExtensionFiltre(filtre)); }

bool SauveOsc(const QString &nomFichier, const TAcquisitionOsc &a, const TSaisieOsc &s,
              const QString &identification)
{
    const TEnregistrement e = EnregistrementOsc(a, s);
    const TIntervalle r = SelectionOsc(a, s.choix);
    return SauveEnregistrement(nomFichier, TCheminSauvegarde::Oscillo, e, a.NbrePoints, r.debut, r.fin,
                               identification);
}
