#include "bode/voieoscbode.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
int borne(int Nbre) { return std::min(Nbre, TailleVoieBode - 1); }
}

double TvoieOscBode::moyenne(int Nbre) const
{
    if (Nbre < 1)
        return std::numeric_limits<double>::quiet_NaN();
    Nbre = borne(Nbre);
    qint64 s = 0;
    for (int i = 1; i <= Nbre; ++i)
        s += Valeur[size_t(i)];
    return double(s) / Nbre;
}

void TvoieOscBode::Calcul(int Nbre)
{
    if (Nbre < 1) {
        valeurDC = valeurEff = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    Nbre = borne(Nbre);
    // The instruments send 16-bit samples: each square fits in 32 bits and the sums of
    // a whole buffer stay exact (within 2^46) in a 64-bit integer and a long double.
    qint64 s = 0;
    long double q = 0;
    for (int i = 1; i <= Nbre; ++i) {
        const qint64 v = Valeur[size_t(i)];
        s += v;
        q += static_cast<long double>(v * v);
    }
    const double m = double(s) / Nbre;
    valeurDC = increment * m;
    // Rounding may leave the variance of a flat block a hair below zero.
    valeurEff = increment * std::sqrt(std::max(0.0, double(q / Nbre) - m * m));
}
