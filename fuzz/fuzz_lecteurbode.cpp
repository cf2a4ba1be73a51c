// One Bode block reader fed with any bytes, in notifications of any size, then the
// measurement arithmetic on what it read. The first byte of the input sets the notification
// size, the maker (GoodWill/Instek or FI for the counted block) and the channel read.
#include "bode/gainphase.h"
#include "bode/lecteurbode.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static TCalculBode calcul;   // one for every input, as the window keeps its own
    static TLecteurBode l;
    const int pas = 1 + (data[0] & 0x1f);
    const int voie = 1 + ((data[0] >> 5) & 1);
    const Tconstructeur maker = LECTEUR == TLecteurBode::blocCompte ? ((data[0] & 0x40) ? oGoodWill : oFI) : oSefram;
    calcul.VoieOsc[size_t(voie)].increment = (data[0] & 0x80) ? IncrementVoie(1.0) : IncrementVoie(0.5);
    l.arme(maker, &calcul.VoieOsc[size_t(voie)]);
    const char *p = reinterpret_cast<const char *>(data + 1);
    const qsizetype n = qsizetype(size - 1);
    for (qsizetype i = 0; i < n; i += pas)
        l.lit(p + i, std::min<qsizetype>(pas, n - i));
    if (l.format() != LECTEUR || calcul.VoieOsc[size_t(voie)].Valeur.size() != size_t(TailleVoieBode)
        || (l.AcqFaite && l.inutilisable()))
        __builtin_trap();
    if (!l.AcqFaite)
        return 0;
    calcul.Deltat = l.Deltat > 0 ? l.Deltat : 1e-5;
    calcul.voieRef = voie;
    if (calcul.mesureFrequence()) {
        if (calcul.NbrePointsPeriode <= 64 || calcul.NbrePointsPeriode >= NbreEchantillonsBode)
            __builtin_trap();
        calcul.calculeGainPhase();
        if (calcul.gain.valeurCourante < 0 || std::fabs(calcul.phase.valeurCourante) > 180.0001)
            __builtin_trap();
    }
    return 0;
}
