#include "bode/graphebode.h"

#include "export/page.h"
#include "measure/unites.h"

#include <cmath>
#include <numbers>

void InitGrapheBode(Tgraphe &g)
{
    g.DerniereVoie = VoiePhase;
    g.NbrePoints = 0;
    struct Def {
        const char16_t *nom, *unite, *signif;
        bool positive;
        double mini, maxi;
        bool log, dB;
    };
    const Def defs[3] = {
        {u"f", u"Hz", u"fréquence", true, 100, 10000, true, false},
        {u"G", u"", u"gain", true, 0.1, 10, false, true},
        {u"\u2026", u"\u00B0", u"phase", false, -180, 180, false, false},
    };
    for (int j = 0; j < 3; ++j) {
        Tvoie &v = g.voie[size_t(j)];
        const Def &d = defs[j];
        v.Nom = QString::fromUtf16(d.nom);
        v.Unite = QString::fromUtf16(d.unite);
        v.Signif = QString::fromUtf16(d.signif);
        v.Commentaire = v.Signif;   // the meaning of the column handed to Korvalis
        v.Positive = d.positive;
        v.mini = d.mini;
        v.maxi = d.maxi;
        v.AxeLog = d.log;
        v.AxedB = d.dB;
        v.Active = true;
        v.Command.clear();
        v.commandGDS.clear();
        v.CalculIncertitude = ciNone;
        v.incertitude.fill(0);
        v.incertitudeCourante = 0;
        v.NumVoie = 1;
    }
    UnitePhase(g);
    if (!angleEnDegre) {
        g.voie[VoiePhase].mini = -3.15;
        g.voie[VoiePhase].maxi = 3.15;
    }
}

void UnitePhase(Tgraphe &g)
{
    g.voie[VoiePhase].Unite = angleEnDegre ? QStringLiteral("\u00B0") : QStringLiteral("rad");
}

void PhaseAuQuartDeTour(double &mini, double &maxi, bool enDegre)
{
    const double quart = enDegre ? 90.0 : std::numbers::pi / 2;
    const double demi = 2 * quart;
    auto arrondi = [quart](double x) { return std::isfinite(x) ? std::nearbyint(x / quart) * quart : 0.0; };
    mini = std::max(arrondi(mini), -demi);
    maxi = std::min(arrondi(maxi), demi);
    // An empty range would leave nothing to draw the phase on.
    if (maxi <= mini)
        maxi = mini + quart;
}

bool AffichageDecibel(double &g, QString &texte)
{
    if (!(g > 0) || !std::isfinite(g))
        return false;
    const double db = 20 * std::log10(g);
    if (!std::isfinite(db) || std::fabs(db) > 1e6)
        return false;
    const int k = ArrondiPair(db);
    g = std::pow(10.0, k / 20.0);
    texte = QString::number(k) + QStringLiteral("dB");
    return true;
}

namespace {
TPasGain applique(double &limite)
{
    TPasGain r;
    AffichageDecibel(limite, r.texte);
    return r;
}
TPasGain refuse(const QString &message)
{
    TPasGain r;
    r.refus = message;
    return r;
}
} // namespace

TPasGain MaxiPlus(double &, double &maxi)
{
    if (maxi > 100000)
        return refuse(QStringLiteral("Maxi = 100 dB"));
    maxi *= 3;
    return applique(maxi);
}

TPasGain MaxiMoins(double &mini, double &maxi)
{
    if (maxi < 10 * mini)
        return refuse(QStringLiteral("Maxi trop proche du mini"));
    maxi /= 3;
    return applique(maxi);
}

TPasGain MiniPlus(double &mini, double &maxi)
{
    if (mini == 0)
        mini = maxi / 10;
    if (mini > maxi / 10)
        return refuse(QStringLiteral("Mini trop proche du maxi"));
    mini *= 3;
    return applique(mini);
}

TPasGain MiniMoins(double &mini, double &maxi)
{
    if (mini == 0)
        mini = maxi / 10;
    if (mini < 0.00001)
        return refuse(QStringLiteral("Mini = -100 dB"));
    mini /= 3;
    return applique(mini);
}

void ResultatsVersGraphe(const TCalculBode &c, Tgraphe &g)
{
    const TGrandeurBode *r[3] = {&c.frequence, &c.gain, &c.phase};
    for (int j = 0; j < 3; ++j) {
        Tvoie &v = g.voie[size_t(j)];
        v.valeurCourante = r[j]->valeurCourante;
        v.mini = r[j]->mini;
        v.maxi = r[j]->maxi;
        v.NumVoie = uint8_t(c.voieRef);
    }
}

void GrapheVersCalcul(const Tgraphe &g, TCalculBode &c)
{
    TGrandeurBode *r[3] = {&c.frequence, &c.gain, &c.phase};
    for (int j = 0; j < 3; ++j) {
        const Tvoie &v = g.voie[size_t(j)];
        r[j]->valeurCourante = v.valeurCourante;
        r[j]->mini = v.mini;
        r[j]->maxi = v.maxi;
    }
}

bool EnregistrePointBode(Tgraphe &g)
{
    if (g.NbrePoints < 0 || g.NbrePoints >= NbrePointsBode)
        return false;
    for (int j = 0; j <= VoiePhase; ++j) {
        Tvoie &v = g.voie[size_t(j)];
        v.valeur[size_t(g.NbrePoints)] = v.valeurCourante;
        v.incertitude[size_t(g.NbrePoints)] = 0;
    }
    ++g.NbrePoints;
    return true;
}

QList<TVoieGraphe> VoiesBode(const Tgraphe &g)
{
    QList<TVoieGraphe> l;
    const int n = std::clamp(g.NbrePoints, 0, NbrePointsBode);
    for (int j = 0; j <= VoiePhase; ++j) {
        const Tvoie &v = g.voie[size_t(j)];
        TVoieGraphe t;
        t.nom = v.Nom;
        t.unite = v.Unite;
        t.commentaire = v.Commentaire;
        for (int i = 0; i < n; ++i) {
            t.valeurs.append(v.valeur[size_t(i)]);
            t.incertitudes.append(0);
        }
        l.append(t);
    }
    return l;
}

QString TexteKorvalisBode(const Tgraphe &g, const TInfosPage &infos, const QString &cheminProgramme)
{
    const int n = std::clamp(g.NbrePoints, 0, NbrePointsBode);
    return TexteTransfert(PageTransfertBode(VoiesBode(g), n, g.voie[VoieGain].AxedB, infos), cheminProgramme);
}

QString TexteAjoutBode(const Tgraphe &g)
{
    const int n = std::clamp(g.NbrePoints, 0, NbrePointsBode);
    return TexteTransfertBodeReduit(VoiesBode(g), n, g.voie[VoieGain].AxedB);
}

Tgraphe GrapheAffiche(const Tgraphe &g)
{
    Tgraphe a = g;
    a.Canvas = nullptr;
    Tvoie &v = a.voie[VoieGain];
    if (!v.AxedB)
        return a;
    auto dB = [](double x) { return x > 0 ? 20 * std::log10(x) : std::numeric_limits<double>::quiet_NaN(); };
    for (int i = 0; i < std::clamp(a.NbrePoints, 0, NbrePointsBode); ++i)
        v.valeur[size_t(i)] = dB(v.valeur[size_t(i)]);
    v.valeurCourante = dB(v.valeurCourante);
    double maxi = dB(v.maxi), mini = dB(v.mini);
    if (!std::isfinite(maxi))
        maxi = 20;
    if (!std::isfinite(mini) || mini >= maxi)
        mini = maxi - 40;
    v.maxi = maxi;
    v.mini = mini;
    v.Unite = QStringLiteral("dB");
    v.AxedB = false;
    return a;
}
