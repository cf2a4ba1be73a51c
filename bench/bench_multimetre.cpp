// One measurement cycle of the multimeter's default channels (frequency, two RMS voltages,
// phase) through the simulated instruments, each beside its floor: over the serial line at
// 19 200 baud the wire time of every query and reply both ways, the exchange's flush waits and
// the 100 ms after a simple command; over TCP (Rigol) the 100 ms between the two waveforms of
// the phase. One line per case, ending with "ratio=" (measured / floor).
#include "drivers/rigol.h"
#include "drivers/visa.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"
#include "multimeter/cycle.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int Baud = 19200;
const QStringList Banc{"--filtre", "1000", "--autoset"};

class VueBanc : public IVueMultimetre {
public:
    void panneau(int, const QString &t) override
    {
        if (!t.isEmpty())
            echecs << t;
    }
    void message(const QString &t) override { echecs << t; }
    QStringList echecs;
};

bool stats(TEchange &e, qint64 &rx, qint64 &tx)
{
    const QList<QByteArray> f = e.GetString("*SIMSTAT?").split(',');
    if (f.size() != 2)
        return false;
    rx = f[0].toLongLong();
    tx = f[1].toLongLong();
    return true;
}

void arrete(QProcess &p)
{
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

void ligne(const char *nom, double mesure, double plancher, const QString &detail, const VueBanc &vue, bool ok)
{
    std::printf("multimetre %-13s cycle=%.3fs plancher=%.3fs (%s)%s ratio=%.3f\n", nom, mesure, plancher,
                qPrintable(detail), ok ? "" : " ECHEC", mesure / plancher);
    for (const QString &m : vue.echecs)
        std::fprintf(stderr, "  %s: %s\n", nom, qPrintable(m));
}

bool serie(const char *nom, const char *modele, Tconstructeur maker, int gds)
{
    QProcess sim;
    sim.start(ONDIVAR_SIM_EXE, QStringList{"--model", modele, "--baud", QString::number(Baud)} + Banc);
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "%s: ondivar-sim did not start\n", nom);
        return false;
    }
    qputenv("ONDIVAR_PORTS", "1=" + sim.readLine().trimmed().mid(4));
    constructeur = maker;
    modeleGDS = gds;
    TPortSerie port;
    port.setComNumber(1);
    port.setBaud(Baud);
    port.setOpen(true);
    TEchange echange(port);
    TInstrumentMesure instrument(&echange, nullptr);
    VueBanc vue;
    TMultimetre m(instrument, &vue);
    qint64 rx0 = 0, tx0 = 0, rx1 = 0, tx1 = 0;
    if (!stats(echange, rx0, tx0))
        return false;
    const qint64 vidage0 = echange.dureeVidages();
    QElapsedTimer t;
    t.start();
    m.LectureVoies();
    const double mesure = double(t.nsecsElapsed()) * 1e-9;
    const qint64 vidage1 = echange.dureeVidages();
    // The end-of-cycle command is sent without reply: its bytes are counted by the next query.
    const bool lu = stats(echange, rx1, tx1);
    arrete(sim);
    if (!lu)
        return false;
    const qint64 octets = (rx1 - rx0 - qint64(sizeof "*SIMSTAT?")) + (tx1 - tx0);
    const double fil = double(octets) * 10.0 / Baud;
    const double simples = maker == oRigol ? 0.100 : 0.0;
    const double vidages = double(vidage1 - vidage0) / 1000.0;
    const bool ok = !m.Graphe.ErreurLectureGlb && m.Graphe.NbrePoints == 1;
    ligne(nom, mesure, fil + simples + vidages,
          QStringLiteral("fil %1s %2 octets, commande simple %3s, vidages %4s")
              .arg(fil, 0, 'f', 3).arg(octets).arg(simples, 0, 'f', 3).arg(vidages, 0, 'f', 3),
          vue, ok);
    return ok;
}

QString lanceRigol(QProcess &p, const QStringList &args)
{
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(ONDIVAR_SIM_RIGOL_EXE), args);
    if (!p.waitForStarted(5000))
        return QString();
    while (!p.canReadLine() && p.waitForReadyRead(5000)) {
    }
    return QString::fromLatin1(p.readLine()).trimmed();
}

// Lines the simulator received, from its echo log.
int lignesRecues(const QString &journal)
{
    QFile f(journal);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return int(f.readAll().count('\n'));
}

bool tcp(const char *nom, const char *modele)
{
    QTemporaryDir dir;
    const QString journal = dir.filePath(QStringLiteral("echo.txt"));
    QProcess sim;
    const QString l = lanceRigol(sim, QStringList{"--model", modele, "--echo-log", journal} + Banc);
    if (!l.startsWith(QLatin1String("TCP 127.0.0.1:"))) {
        std::fprintf(stderr, "%s: ondivar-sim-rigol did not start\n", nom);
        return false;
    }
    qputenv("ONDIVAR_VISA", QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(l.mid(14)).toLatin1());
    TRigolVisa v;
    TRigol r(v);
    v.setOpen(true);
    r.isVisa = true;
    bool ok = v.open();
    VueBanc vue;
    double mesure = 0;
    bool lu = false;
    // The wire time over the loopback is the round trip of a query: the mean of a few.
    constexpr int Tours = 20;
    double allerRetour = 0;
    int commandes = 0;
    if (ok) {
        QElapsedTimer t;
        t.start();
        for (int k = 0; k < Tours; ++k)
            r.Query("*IDN?");
        allerRetour = double(t.nsecsElapsed()) * 1e-9 / Tours;
        const int avant = lignesRecues(journal);
        constructeur = oRigolVisa;
        TInstrumentMesure instrument(nullptr, &r);
        TMultimetre m(instrument, &vue);
        t.restart();
        m.LectureVoies();
        mesure = double(t.nsecsElapsed()) * 1e-9;
        lu = !m.Graphe.ErreurLectureGlb && m.Graphe.NbrePoints == 1;
        r.Query("*IDN?");   // the log holds every line of the cycle once this is answered
        commandes = lignesRecues(journal) - avant - 1;
    }
    arrete(sim);
    qunsetenv("ONDIVAR_VISA");
    const double plancher = 0.100 + commandes * allerRetour;
    ligne(nom, mesure, plancher,
          QStringLiteral("pause de 100 ms entre les deux formes d'onde de la phase, %1 commandes de %2 ms aller-retour")
              .arg(commandes).arg(allerRetour * 1000, 0, 'f', 2),
          vue, lu);
    return lu;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("ONDIVAR_CONFIG", (dir.path() + "/Ondivar.ini").toLocal8Bit());
    bool ok = serie("agilent", "54622D", oAgilent, 0);
    ok = serie("goodwill", "GDS-2062", oGoodWill, 2) && ok;
    ok = serie("rigol-serie", "DS1102E", oRigol, 0) && ok;
    ok = tcp("rigol-tcp", "DS1000Z") && ok;
    return ok ? 0 : 1;
}
