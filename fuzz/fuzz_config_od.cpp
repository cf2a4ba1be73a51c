// The multimeter configuration reader on any bytes, then the writer over the same file:
// the channels stay within their ranges, the text written keeps every section of the file,
// its bytes decode back to it, and reading it back gives the same channels.
#include "multimeter/configmult.h"
#include "multimeter/fichierini.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

TVoiesMult voiesParDefaut()
{
    TVoiesMult v;
    for (int i = 0; i < NbreVoiesConfig; ++i)
        v[size_t(i)].AppliqueMesure(TableMesures[size_t(i)]);
    v[0].AxeLog = true;
    return v;
}

bool memes(const Tvoie &a, const Tvoie &b)
{
    return a.Nom == b.Nom && a.Unite == b.Unite && a.Signif == b.Signif && a.Command == b.Command
           && a.commandGDS == b.commandGDS && a.Active == b.Active && a.Positive == b.Positive
           && a.CalculIncertitude == b.CalculIncertitude && a.maxi == b.maxi && a.mini == b.mini
           && a.NumVoie == b.NumVoie && a.AxeLog == b.AxeLog;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray octets(reinterpret_cast<const char *>(data), qsizetype(size));
    TVoiesMult v = voiesParDefaut();
    TConfigMultimetre c;
    LitConfigOctets(octets, v, c);
    for (int i = 0; i < NbreVoiesConfig; ++i) {
        const Tvoie &x = v[size_t(i)];
        if ((x.NumVoie != 1 && x.NumVoie != 2) || int(x.CalculIncertitude) >= NbreCalculIncertitude
            || x.Command.isEmpty() || x.Command.contains(';') || !std::isfinite(x.maxi) || !std::isfinite(x.mini))
            __builtin_trap();
    }

    const QString existant = DecodeTexteIni(octets);
    const QString ecrit = TexteConfig(existant, v, c.mesure);
    if (DecodeTexteIni(EncodeTexteIni(ecrit)) != ecrit)
        __builtin_trap();
    const TFichierIni avant(existant);
    const TFichierIni apres(ecrit);
    for (const QString &s : avant.sections())
        if (!apres.contientSection(s))
            __builtin_trap();
    if (avant.lit(QStringLiteral("Constante"), QStringLiteral("Nom")) != c.nomConstante
        || apres.lit(QStringLiteral("Constante"), QStringLiteral("Nom")) != c.nomConstante)
        __builtin_trap();

    TVoiesMult relu = voiesParDefaut();
    TConfigMultimetre c2;
    LitConfigOctets(EncodeTexteIni(ecrit), relu, c2);
    for (int i = 0; i < NbreVoiesConfig; ++i)
        if (!memes(relu[size_t(i)], v[size_t(i)]))
            __builtin_trap();
    if (c2.mesure != c.mesure || c2.uniteConstante != c.uniteConstante)
        __builtin_trap();
    return 0;
}
