// Cost of a query on the serial line against the simulated instrument, beside its floor:
// the wire time of the bytes both ways, plus the one-tick flush wait that a CR LF reply
// costs the next query (its LF stays waiting). Also the processor time of a completion
// wait that gets no reply.
#include "link/echange.h"
#include "link/portserie.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

struct Simulateur {
    QProcess p;
    QByteArray pty;
    bool demarre(const QStringList &args)
    {
        p.start(QStringLiteral(ONDIVAR_SIM_EXE), args);
        if (!p.waitForStarted() || !p.waitForReadyRead(5000))
            return false;
        const QByteArray l = p.readLine().trimmed();
        if (!l.startsWith("PTY "))
            return false;
        pty = l.mid(4);
        return true;
    }
    ~Simulateur()
    {
        p.kill();
        p.waitForFinished();
    }
};

double cpuSecondes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool requetes(int baud, bool crlf)
{
    Simulateur sim;
    if (!sim.demarre({"--model", "54622D", "--baud", QString::number(baud), "--term", crlf ? "crlf" : "lf"})) {
        std::fprintf(stderr, "ondivar-sim ne démarre pas\n");
        return false;
    }
    qputenv("ONDIVAR_PORTS", "1=" + sim.pty);
    TPortSerie port;
    port.setComNumber(1);
    port.setBaud(baud);
    port.setOpen(true);
    TEchange ech(port);
    const QByteArray commande = ":TIM:SCAL?";
    QByteArray rep = ech.GetString(commande);   // warm-up, and the reply length
    std::vector<double> ms;
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer t;
        t.start();
        rep = ech.GetString(commande);
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double median = (ms[99] + ms[100]) / 2;
    const int octets = int(commande.size()) + 1 + int(rep.size()) + (crlf ? 2 : 1);
    const double fil = octets * 10.0 * 1000.0 / baud;
    const double plancher = fil + (crlf ? 55.0 : 0.0);
    std::printf("GetString %d baud %s: median %.2f ms, wire %.2f ms, floor %.2f ms, ratio=%.2f\n", baud,
                crlf ? "CR LF" : "LF", median, fil, plancher, median / plancher);
    return true;
}

bool attenteSansReponse()
{
    Simulateur sim;
    if (!sim.demarre({"--model", "54622D", "--fault", "silence"}))
        return false;
    qputenv("ONDIVAR_PORTS", "1=" + sim.pty);
    TPortSerie port;
    port.setComNumber(1);
    port.setOpen(true);
    TEchange ech(port);
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuSecondes();
    ech.EnvoieCommandeLente(":DIG");
    const double cpu = cpuSecondes() - cpu0;
    const double mur = double(t.nsecsElapsed()) / 1e9;
    std::printf("EnvoieCommandeLente without reply: wait %.2f s, CPU %.3f s (%.2f %% of one core), ratio=%.4f\n", mur,
                cpu, 100 * cpu / mur, cpu / mur);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool ok = true;
    for (int baud : {19200, 57600})
        for (bool crlf : {false, true})
            ok = requetes(baud, crlf) && ok;
    ok = attenteSansReponse() && ok;
    return ok ? 0 : 1;
}
