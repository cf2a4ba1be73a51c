// Time to read one channel of 8192 samples from the simulated instruments, beside the
// 250 ms pause a VISA waveform read starts with. Prints one line per case, ending with
// "ratio=" and measured time / 250 ms.
#include "drivers/rigol.h"
#include "drivers/usbtmc.h"
#include "drivers/visa.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Tours = 4;

// Starts the simulator; gives its first output line.
QString lance(QProcess &p, const QStringList &args)
{
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(ONDIVAR_SIM_RIGOL_EXE), args);
    if (!p.waitForStarted(5000))
        return QString();
    while (!p.canReadLine() && p.waitForReadyRead(5000)) {
    }
    return QString::fromLatin1(p.readLine()).trimmed();
}

void arrete(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

// Reads both channels Tours times; milliseconds per channel, or -1 on failure.
double mesure(TRigol &r)
{
    if (!r.dialecteSiglent())
        r.getBaseDeTemps();
    QElapsedTimer t;
    t.start();
    try {
        for (int k = 0; k < Tours; ++k)
            for (int n = 1; n <= 2; ++n) {
                r.QueryWave(n);
                if (r.NbrePointsRigol != 8192)
                    return -1;
            }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "ondivar-bench-drivers: %s\n", e.what());
        return -1;
    }
    return double(t.nsecsElapsed()) / 1e6 / (2 * Tours);
}

void affiche(const char *cas, double ms)
{
    if (ms < 0) {
        std::printf("drivers: %s : échec de la lecture ratio=nan\n", cas);
        return;
    }
    std::printf("drivers: %s : %.1f ms par voie de 8192 échantillons, pause prévue %d ms ratio=%.3f\n", cas, ms,
                TRigol::PauseDonneesMs, ms / TRigol::PauseDonneesMs);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString usb = dir.path() + "/dev";
    qputenv("ONDIVAR_CONFIG", (dir.path() + "/Ondivar.ini").toLocal8Bit());
    qputenv("ONDIVAR_USBTMC_DIR", usb.toLocal8Bit());

    const struct { const char *cas; const char *modele; } tcp[] = {
        {"VISA TCP, Rigol DS1000Z", "DS1000Z"},
        {"VISA TCP, Siglent SDS1000X-E", "SDS1000X-E"},
    };
    for (const auto &c : tcp) {
        QProcess p;
        const QString l = lance(p, {"--model", c.modele, "--points", "8192"});
        double ms = -1;
        if (l.startsWith("TCP 127.0.0.1:")) {
            qputenv("ONDIVAR_VISA", QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(l.mid(14)).toLatin1());
            TRigolVisa v;
            TRigol r(v);
            v.setOpen(true);
            r.isVisa = true;
            if (v.open())
                ms = mesure(r);
        }
        arrete(p);
        affiche(c.cas, ms);
    }
    qunsetenv("ONDIVAR_VISA");
    {
        QProcess p;
        const QString l = lance(p, {"--model", "DS1000Z", "--points", "8192", "--usbtmc", "--dir", usb});
        double ms = -1;
        if (l.startsWith("USBTMC ")) {
            TRigolVisa v;
            TRigol r(v);
            r.setOpen(true);
            if (r.open())
                ms = mesure(r);
            FermeUSB();
        }
        arrete(p);
        affiche("USB (substitut USBTMC), Rigol DS1000Z", ms);
    }
    return 0;
}
