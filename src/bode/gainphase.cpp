#include "bode/gainphase.h"

#include "link/parsenumber.h"
#include "measure/unites.h"

#include <climits>
#include <cstring>
#include <cmath>
#include <stdexcept>

const QString MessageMoinsUnePeriode = QStringLiteral("Impossible de déterminer la fréquence : moins d'une période");
const QString MessagePlusCinqPeriodes = QStringLiteral("Impossible de déterminer la fréquence : plus de cinq périodes");
const QString MessageVoieConstante = QStringLiteral("Impossible de déterminer la phase : signal constant");

int ArrondiPair(double x)
{
    const double r = std::nearbyint(x);
    if (!(r >= double(INT_MIN) && r <= double(INT_MAX)))
        return 0;
    return int(r);
}

bool RecadreDecade(double v, double &mini, double &maxi)
{
    const double a = std::fabs(v);
    if (!(a > 0) || !std::isfinite(a))
        return false;
    int e = int(std::floor(std::log10(a)));
    double d = std::pow(10.0, e);
    double m = std::trunc(a / d);
    // The logarithm may land a hair on the wrong side of a decade.
    if (m < 1) {
        d = std::pow(10.0, --e);
        m = std::trunc(a / d);
    } else if (m >= 10) {
        d = std::pow(10.0, ++e);
        m = std::trunc(a / d);
    }
    const double nouveauMini = m * d, nouveauMaxi = (m + 1) * d;
    if (!std::isfinite(nouveauMini) || !std::isfinite(nouveauMaxi) || !(nouveauMini > 0))
        return false;
    mini = nouveauMini;
    maxi = nouveauMaxi;
    return true;
}

TCalculBode::TCalculBode()
{
    frequence.mini = 100;
    frequence.maxi = 10000;
    gain.mini = 0;
    gain.maxi = 1;
    phase.mini = -180;
    phase.maxi = 180;
}

bool TCalculBode::cherchePeriode(int p)
{
    constexpr int N = NbreEchantillonsBode;
    constexpr int bandeBruit = 512;
    const std::vector<qint32> &v = VoieOsc[size_t(p)].Valeur;
    const double mu = VoieOsc[size_t(p)].moyenne(N);

    bool montant = v[1] < mu;
    auto depart = [&](int j) { return montant ? v[size_t(j)] < mu : v[size_t(j)] > mu; };
    auto sortBruit = [&](int &j) {
        j = std::min(j + 1, N);
        while (j < N && std::fabs(v[size_t(j)] - mu) <= bandeBruit)
            ++j;
    };

    int j = 1;
    while (j < N && depart(j))
        ++j;
    if (j == 1)
        montant = v[2] > mu;
    const int debut = j;
    sortBruit(j);
    while (j < N && (montant ? v[size_t(j)] >= mu : v[size_t(j)] <= mu))   // half period
        ++j;
    sortBruit(j);
    while (j < N && depart(j))   // full period
        ++j;
    const int fin = j;

    marques[size_t(p)].debut = debut;
    marques[size_t(p)].fin = fin;
    NbrePointsPeriode = fin - debut;
    if (fin >= N - NbrePointsPeriode / 4) {
        erreur = MessageMoinsUnePeriode;
        return false;
    }
    if (NbrePointsPeriode <= 64) {
        erreur = MessagePlusCinqPeriodes;
        return false;
    }
    frequence.valeurCourante = 1.0 / (NbrePointsPeriode * Deltat);
    return true;
}

bool TCalculBode::mesureFrequence()
{
    const int p = VoieOsc[2].increment > VoieOsc[1].increment ? 2 : 1;
    if (!cherchePeriode(p))
        return false;
    const double f = frequence.valeurCourante;
    if ((f < frequence.mini || f > frequence.maxi) && RecadreDecade(f, frequence.mini, frequence.maxi))
        redessine = true;
    return true;
}

bool TCalculBode::calculeGainPhase()
{
    const int N = NbrePointsPeriode;
    const int q = N / 4;
    const int o = autreVoie();
    if (N < 1 || N + q > TailleVoieBode - 1) {
        erreur = MessageMoinsUnePeriode;
        return false;
    }
    TvoieOscBode &v1 = VoieOsc[1], &v2 = VoieOsc[2];
    v1.Calcul(N);
    v2.Calcul(N);
    const double m1 = v1.moyenne(N), m2 = v2.moyenne(N);
    double X = 0, Y = 0;
    for (int i = 1; i <= N; ++i) {
        const double a = v1.Valeur[size_t(i)] - m1;
        X += a * (v2.Valeur[size_t(i)] - m2);
        Y += a * (v2.Valeur[size_t(i + q)] - m2);
    }
    if (X == 0 && Y == 0) {
        erreur = MessageVoieConstante;
        return false;
    }
    const double brut = ComplexAngle(X, Y);
    marques[size_t(o)].debut = ArrondiPair(N * brut / FullTurn()) + marques[size_t(voieRef)].debut;
    marques[size_t(o)].fin = 0;
    phase.valeurCourante = voieRef == 2 ? brut : -brut;

    const double eRef = VoieOsc[size_t(voieRef)].valeurEff, eAutre = VoieOsc[size_t(o)].valeurEff;
    if (!(eRef != 0) || !std::isfinite(eRef) || !std::isfinite(eAutre)) {
        // No ratio: a gain of 1, no level markers, no rescale.
        gain.valeurCourante = 1;
        return true;
    }
    gain.valeurCourante = eAutre / eRef;
    for (int n = 1; n <= 2; ++n) {
        const TvoieOscBode &v = VoieOsc[size_t(n)];
        marques[size_t(n)].niveau = v.increment != 0 ? ArrondiPair((v.valeurEff + v.valeurDC) / v.increment) : 0;
    }
    const double g = gain.valeurCourante;
    if ((g < gain.mini || g > gain.maxi) && RecadreDecade(g, gain.mini, gain.maxi))
        redessine = true;
    return true;
}
