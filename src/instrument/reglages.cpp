#include "instrument/reglages.h"
#include "link/registre.h"

#include <QtGlobal>

void TReglagesCom::LitRegistre(QSettings &s, const std::function<bool(int)> &portPresent)
{
    const int c = LitEntier(s, QStringLiteral("COM"), QStringLiteral("Constructeur"), 0);
    dernierConstructeur = c >= 0 ? c : int(oNone);
    const int n = LitEntier(s, QStringLiteral("Trace"), QStringLiteral("Number"), 0);
    NumeroTrace = (n >= 0 && n <= 25) ? n : 0;
    avecTrace = LitBooleen(s, QStringLiteral("Trace"), QStringLiteral("Enabled"), false);
    port = LitEntier(s, QStringLiteral("COM"), QStringLiteral("Number"), 1);
    if (port < 1 || port > 50 || !portPresent(port)) {
        port = 1;
        for (int i = 1; i <= 50; ++i) {
            if (portPresent(i)) {
                port = i;
                break;
            }
        }
    }
    baud = LitEntier(s, QStringLiteral("COM"), QStringLiteral("Baud"), 19200);
    avecDTR = LitBooleen(s, QStringLiteral("COM"), QStringLiteral("DTR"), false);
}

void TReglagesCom::EcritRegistre(QSettings &s, Tconstructeur courant)
{
    NumeroTrace = NumeroTrace + 1 > 25 ? 0 : NumeroTrace + 1;
    EcritEntier(s, QStringLiteral("COM"), QStringLiteral("Constructeur"), int(courant));
    EcritEntier(s, QStringLiteral("Trace"), QStringLiteral("Number"), NumeroTrace);
    EcritEntier(s, QStringLiteral("COM"), QStringLiteral("Number"), port);
    EcritEntier(s, QStringLiteral("COM"), QStringLiteral("Baud"), baud);
    EcritBooleen(s, QStringLiteral("COM"), QStringLiteral("DTR"), avecDTR);
    EcritBooleen(s, QStringLiteral("Trace"), QStringLiteral("Enabled"), avecTrace);
    s.sync();   // failures are not reported
}
