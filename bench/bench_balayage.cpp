// A sweep of 21 points, 100 Hz to 10 kHz (10 per decade), of the Bode measurement through the
// simulated GoodWill/Instek at 57 600 baud, its generator on a loopback socket, the 1 kHz
// filter between them. The total time against its floor: for every point, the settling wait
// after the frequency change plus the floor of each measurement made there (the wire time of
// every byte to and from the oscilloscope, the prescribed waits and the exchange's flush
// waits, each block's wire time overlapping the 100 ms wait after its request).
// One line ending with "ratio=" (measured / floor).
#include "bode/balayagebode.h"
#include "bode/graphebode.h"
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"
#include "measure/unites.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int Baud = 57600;

// The Bode point, with the prescribed waits of every measurement made at it added up.
class PointCompte : public IPointBalayage {
public:
    PointCompte(TMesureBode &m, IPointBalayage &p) : m_(m), p_(p) {}
    bool mesure(QString &e) override
    {
        const bool ok = p_.mesure(e);
        pauses += m_.dureePauses();
        ++mesures;
        return ok;
    }
    void enregistre() override { p_.enregistre(); }
    bool voieEcran(int n, TVoieEcran &v) override { return p_.voieEcran(n, v); }
    double divisionsEnregistrement() const override { return p_.divisionsEnregistrement(); }
    double gain() const override { return p_.gain(); }
    double phase() const override { return p_.phase(); }
    qint64 pauses = 0;
    int mesures = 0;

private:
    TMesureBode &m_;
    IPointBalayage &p_;
};

bool stats(TEchange &e, qint64 &rx, qint64 &tx)
{
    for (int essai = 0; essai < 3; ++essai) {
        const QList<QByteArray> f = e.GetString("*SIMSTAT?").split(',');
        if (f.size() == 2) {
            rx = f[0].toLongLong();
            tx = f[1].toLongLong();
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    angleEnDegre = true;
    QProcess sim;
    sim.start(ONDIVAR_SIM_EXE, {"--model", "GDS-1102", "--baud", QString::number(Baud), "--filtre", "1000", "--ch1",
                                "sine,1,100,0,0", "--generateur", "keysight", "--generateur-tcp", "0"});
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "ondivar-sim did not start\n");
        return 1;
    }
    QByteArray pty, ressource;
    while (ressource.isEmpty() && sim.waitForReadyRead(5000))
        while (sim.canReadLine()) {
            const QByteArray l = sim.readLine().trimmed();
            if (l.startsWith("GEN "))
                ressource = l.mid(4);
            else if (l.startsWith("PTY "))
                pty = l.mid(4);
        }
    if (pty.isEmpty() || ressource.isEmpty()) {
        std::fprintf(stderr, "ondivar-sim gave no line or no generator\n");
        return 1;
    }
    qputenv("ONDIVAR_PORTS", "1=" + pty);
    constructeur = oGoodWill;
    modeleGDS = 1;
    TPortSerie port;
    port.setComNumber(1);
    port.setBaud(Baud);
    port.setOpen(true);
    TEchange echange(port);
    QThread::msleep(200);
    port.FlushInBuffer();

    TGenerateur gen;
    QString e;
    if (!gen.ouvre(QString::fromLatin1(ressource), TReglageGenerateur(), e)) {
        std::fprintf(stderr, "%s\n", qPrintable(e));
        return 1;
    }
    Tgraphe graphe;
    InitGrapheBode(graphe);
    TMesureBode mesure(echange);
    TPointBalayageBode bode(mesure, graphe, 1);
    PointCompte point(mesure, bode);
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(constructeur, &echange, nullptr);
    Balayage b(g, o, point);
    TParametresBalayage p;
    p.debut = 100;
    p.fin = 10000;
    p.parDecade = 10;

    qint64 rx0 = 0, tx0 = 0, rx1 = 0, tx1 = 0;
    if (!stats(echange, rx0, tx0)) {
        std::fprintf(stderr, "*SIMSTAT? unanswered\n");
        return 1;
    }
    const qint64 vidage0 = echange.dureeVidages();
    QElapsedTimer t;
    t.start();
    const TResultatBalayage r = b.execute(p);
    const double duree = double(t.nsecsElapsed()) * 1e-9;
    const qint64 vidage1 = echange.dureeVidages();
    if (!stats(echange, rx1, tx1)) {
        std::fprintf(stderr, "*SIMSTAT? unanswered after the sweep\n");
        return 1;
    }
    sim.kill();
    sim.waitForFinished(3000);

    QString erreur;
    double attentes = 0;
    for (double f : FrequencesBalayage(p, erreur))
        attentes += AttenteStabilisation(f, p.attenteMinMs) / 1000.0;
    const qint64 octets = (rx1 - rx0 - qint64(sizeof "*SIMSTAT?")) + (tx1 - tx0);
    const double fil = double(octets) * 10.0 / Baud;
    const double pauses = double(point.pauses) / 1000.0;
    const double vidages = double(vidage1 - vidage0) / 1000.0;
    // Each measurement reads two 1014-byte blocks ("#41000", 8 bytes, 1000 data bytes).
    const double bloc = 1014.0 * 10.0 / Baud;
    const double recouvrement = 2 * std::min(0.1, bloc) * point.mesures;
    const double plancher = fil + pauses + vidages + attentes - recouvrement;
    std::printf("balayage %d points (%d mesures%s) 100Hz-10kHz %d bauds: duree=%.3fs plancher=%.3fs (attentes %.3fs, "
                "fil %.3fs %lld octets, pauses %.3fs, vidages %.3fs) ratio=%.3f\n",
                r.points, point.mesures, r.erreur.isEmpty() && r.ignorees.isEmpty() ? "" : ", ECHEC", Baud, duree,
                plancher, attentes, fil, static_cast<long long>(octets), pauses, vidages, duree / plancher);
    return r.points == 21 ? 0 : 1;
}
