// One block reader fed with any bytes, in notifications of any size, trace on.
// The first byte of the input sets the notification size and the count asked for.
#include "measure/partage.h"
#include "scope/lecteurbloc.h"

#include <cstddef>
#include <cstdint>

namespace {
class Lecteur : public TLecteurBloc {
public:
    qsizetype texte = 0;
protected:
    void nombreDePoints(qint64 n) override { texte += QString::number(n).size(); }
    void traceLecteur(const QString &l) override { texte += l.size(); }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static Lecteur l;   // one reader for every input, as the window keeps its own
    const int pas = 1 + (data[0] & 0x3f);
    l.NbrePoints = 250 << (data[0] >> 6);
    l.avecTrace = true;
    baseDeTemps = 1e-3;
    l.arme(LECTEUR, 1 + (data[0] & 1));
    const char *p = reinterpret_cast<const char *>(data + 1);
    const qsizetype n = qsizetype(size - 1);
    for (qsizetype i = 0; i < n; i += pas)
        l.lit(p + i, std::min<qsizetype>(pas, n - i));
    // What every caller relies on.
    if (l.NbrePointsLu < 0 || l.NbrePointsLu > TailleVoie || l.Voie[1].Valeur.size() != size_t(TailleVoie)
        || l.Voie[2].Valeur.size() != size_t(TailleVoie) || (l.AcqFaite && l.NbrePointsLu < 1)
        || l.echantillonsRecus() < 0)
        __builtin_trap();
    return 0;
}
