#include "scope/voieosc.h"
#include "link/parsenumber.h"
#include "measure/unites.h"

TvoieOsc::TvoieOsc(int numero) : Gauge(numero == 2 ? 2 : 1), Valeur(TailleVoie, 0)
{
    increment = numero == 0 ? 1e-6 : 0.04;
}

double TvoieOsc::valeurR(int j) const
{
    if (j < 0 || j >= TailleVoie)
        return NaN();
    const qint64 brut = qint64(Valeur[size_t(j)]) - qint64(reference);
    return double(brut) * increment + origine;
}

QString TvoieOsc::strValeurR(int j) const { return FormatNumber(valeurR(j & 0xFFFF)); }

QString TvoieOsc::strValeurInt(int j) const
{
    const int k = j & 0xFFFF;
    return k < TailleVoie ? QString::number(Valeur[size_t(k)]) : QStringLiteral("NaN");
}
