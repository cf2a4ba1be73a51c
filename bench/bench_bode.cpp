// One gain and phase measurement through the simulated instruments at 57 600 baud, for the
// fixed-header (Sefram) and the counted-block (GoodWill/Instek, FI) dialects, each against
// its floor: the wire time of every byte both ways, plus the prescribed waits (220 ms before
// each channel, 100 ms after each command sent without reply) and the flush waits of the
// exchange; the block starts coming during the 100 ms wait after its request, so that wait
// and the block's wire time overlap and only the longer of the two counts. Then the arithmetic of a measurement on in-memory blocks, in microseconds.
// One line per figure, ending with "ratio=" (measured / floor; for the arithmetic, time / target).
#include "bode/gainphase.h"
#include "bode/mesurebode.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"
#include "measure/unites.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int Baud = 57600;

class VueMuette : public IVueBode {
public:
    QStringList messages;
    void afficheErreur(const QString &t) override { messages << t; }
    void message(const QString &t) override { messages << t; }
};

struct Cas {
    const char *nom;
    const char *modele;
    Tconstructeur maker;
    int gds;
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

bool mesure(const Cas &c)
{
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(ONDIVAR_SIM_EXE, {"--model", c.modele, "--baud", QString::number(Baud), "--filtre", "1000", "--ch1",
                                "sine,1,1000,0,0", "--autoset"});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::fprintf(stderr, "%s: ondivar-sim did not start\n", c.nom);
        return false;
    }
    qputenv("ONDIVAR_PORTS", "1=" + sim.readLine().trimmed().mid(4));
    constructeur = c.maker;
    modeleGDS = c.gds;
    TPortSerie port;
    port.setComNumber(1);
    port.setBaud(Baud);
    port.setOpen(true);
    TEchange echange(port);
    // The line settles before the first question.
    QThread::msleep(200);
    port.FlushInBuffer();
    VueMuette vue;
    TMesureBode m(echange, &vue);
    qint64 rx0 = 0, tx0 = 0, rx1 = 0, tx1 = 0;
    // The first question may come before the simulator listens: asked again then.
    bool pret = false;
    for (int essai = 0; essai < 3 && !pret; ++essai)
        pret = stats(echange, rx0, tx0);
    if (!pret) {
        std::fprintf(stderr, "%s: *SIMSTAT? unanswered\n", c.nom);
        sim.kill();
        sim.waitForFinished(3000);
        return false;
    }
    const qint64 vidage0 = echange.dureeVidages();
    QElapsedTimer t;
    t.start();
    const bool ok = m.Mesure(1);
    const double duree = double(t.nsecsElapsed()) * 1e-9;
    const qint64 vidage1 = echange.dureeVidages();
    // The block's own line end may still be on its way: left to come and dropped, so that
    // it is not taken for the counters' reply.
    QThread::msleep(30);
    port.FlushInBuffer();
    if (!stats(echange, rx1, tx1)) {
        std::fprintf(stderr, "%s: *SIMSTAT? unanswered after the measurement\n", c.nom);
        sim.kill();
        sim.waitForFinished(3000);
        return false;
    }
    sim.kill();
    sim.waitForFinished(3000);
    const qint64 octets = (rx1 - rx0 - qint64(sizeof "*SIMSTAT?")) + (tx1 - tx0);
    const double fil = double(octets) * 10.0 / Baud;
    const double pauses = double(m.dureePauses()) / 1000.0;
    const double vidages = double(vidage1 - vidage0) / 1000.0;
    // Both blocks are 1014 bytes (14-byte header or "#41000" and 8 bytes, then 1000 data bytes).
    const double bloc = 1014.0 * 10.0 / Baud;
    const double plancher = fil + pauses + vidages - 2 * std::min(0.1, bloc);
    std::printf("mesure %-10s f=%.1fHz G=%.4f phase=%.2f mesure=%.3fs plancher=%.3fs (fil %.3fs %lld octets, pauses "
                "%.3fs, vidages %.3fs)%s ratio=%.3f\n",
                c.nom, m.calcul.frequence.valeurCourante, m.calcul.gain.valeurCourante, m.calcul.phase.valeurCourante,
                duree, plancher, fil, static_cast<long long>(octets), pauses, vidages, ok ? "" : " ECHEC",
                duree / plancher);
    for (const QString &s : vue.messages)
        std::fprintf(stderr, "  %s: %s\n", c.nom, qPrintable(s));
    return ok;
}

// Period search, statistics, gain and phase of one measurement on two 500-sample blocks.
void arithmetique()
{
    TCalculBode c;
    c.Deltat = 20e-6;
    c.VoieOsc[1].increment = c.VoieOsc[2].increment = IncrementVoie(1.0);
    for (int i = 0; i <= NbreEchantillonsBode + 1; ++i) {
        const double x = 2 * std::numbers::pi * i / 125.0;
        c.VoieOsc[1].Valeur[size_t(i)] = qint32(std::lround(8000 * std::sin(x)));
        c.VoieOsc[2].Valeur[size_t(i)] = qint32(std::lround(5657 * std::sin(x - std::numbers::pi / 4)));
    }
    constexpr int tours = 20000;
    bool ok = true;
    QElapsedTimer t;
    t.start();
    for (int k = 0; k < tours; ++k)
        ok = c.mesureFrequence() && c.calculeGainPhase() && ok;
    const double us = double(t.nsecsElapsed()) * 1e-3 / tours;
    constexpr double cible = 50.0;   // microseconds
    std::printf("arithmetique periode+gain+phase temps=%.2fus cible=%.0fus G=%.4f phase=%.2f%s ratio=%.3f\n", us, cible,
                c.gain.valeurCourante, c.phase.valeurCourante, ok ? "" : " ECHEC", us / cible);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Cas cas[] = {
        {"sefram", "5150", oSefram, 0},
        {"gds1000", "GDS-1102", oGoodWill, 1},
        {"fi", "FI3104", oFI, 0},
    };
    bool ok = true;
    for (const Cas &c : cas)
        ok = mesure(c) && ok;
    arithmetique();
    return ok ? 0 : 1;
}
