// Full two-channel reads through the simulated instruments at 57 600 baud, each against its
// floor: the wire time of every byte both ways, plus the pauses the procedures make and the
// flush waits of the command exchange. Then the readers' decoding speed on in-memory blocks.
// One line per figure, ending with "ratio=" (measured / floor; for decoding, target / speed).
#include "link/echange.h"
#include "link/portserie.h"
#include "link/ticktimer.h"
#include "link/types.h"
#include "scope/acquisition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <cstdio>

namespace {

constexpr int Baud = 57600;

class VueMuette : public IAcquisitionVue {
public:
    QStringList messages;
    void message(const QString &t) override { messages << t; }
};

struct Cas {
    const char *nom;
    const char *modele;
    Tconstructeur maker;
    int gds;
    int points;
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

bool lecture(const Cas &c)
{
    QProcess sim;
    sim.start(ONDIVAR_SIM_EXE, {"--model", c.modele, "--baud", QString::number(Baud),
                                "--ch1", "sine,1,1000,0,0", "--ch2", "triangle,0.5,1000,-45,0"});
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
    VueMuette vue;
    TAcquisitionOsc acq(echange, &vue);
    acq.connect = c.maker == oAgilent ? cVect : cConn;
    acq.NbrePoints = c.points;
    qint64 rx0 = 0, tx0 = 0, rx1 = 0, tx1 = 0;
    if (!stats(echange, rx0, tx0))
        return false;
    const qint64 vidage0 = echange.dureeVidages();
    QElapsedTimer t;
    t.start();
    acq.Enregistre();
    const double mesure = double(t.nsecsElapsed()) * 1e-9;
    const qint64 vidage1 = echange.dureeVidages();
    if (!stats(echange, rx1, tx1))
        return false;
    sim.kill();
    sim.waitForFinished(3000);
    const qint64 octets = (rx1 - rx0 - qint64(sizeof "*SIMSTAT?")) + (tx1 - tx0);
    const double fil = double(octets) * 10.0 / Baud;
    const double pauses = double(acq.dureePauses()) / 1000.0;
    const double vidages = double(vidage1 - vidage0) / 1000.0;
    const double plancher = fil + pauses + vidages;
    const bool ok = acq.AcqAsauver && acq.Voie[1].Activee && acq.Voie[2].Activee;
    std::printf("lecture %-14s points=%d mesure=%.3fs plancher=%.3fs (fil %.3fs %lld octets, pauses %.3fs, vidages %.3fs)%s ratio=%.3f\n",
                c.nom, acq.NbrePointsLu, mesure, plancher, fil, static_cast<long long>(octets), pauses, vidages,
                ok ? "" : " ECHEC", mesure / plancher);
    for (const QString &m : vue.messages)
        std::fprintf(stderr, "  %s: %s\n", c.nom, qPrintable(m));
    return ok;
}

QByteArray blocIeee(const QByteArray &data)
{
    const QByteArray n = QByteArray::number(data.size());
    return "#" + QByteArray::number(n.size()) + n + data + "\r\n";
}

void decodage(const char *nom, TLecteur l, const QByteArray &bloc)
{
    TLecteurBloc lecteur;
    lecteur.NbrePoints = 32768;
    QElapsedTimer t;
    t.start();
    qint64 octets = 0;
    while (t.elapsed() < 500) {
        for (int k = 0; k < 16; ++k) {
            lecteur.arme(l, 1);
            // Fed as the port hands it: runs of at most one receive buffer.
            for (qsizetype i = 0; i < bloc.size(); i += TPortSerie::InSize)
                lecteur.lit(bloc.constData() + i, std::min<qsizetype>(TPortSerie::InSize, bloc.size() - i));
            octets += bloc.size();
        }
    }
    const double debit = double(octets) / (double(t.nsecsElapsed()) * 1e-9) / 1e6;
    std::printf("decodage %-9s debit=%.1fMB/s cible=100MB/s%s ratio=%.3f\n", nom, debit,
                lecteur.AcqFaite ? "" : " ECHEC", 100.0 / debit);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Cas cas[] = {
        {"agilent-2000", "54622D", oAgilent, 0, 2000},
        {"hp-2000", "54645A", oHewlett, 0, 2000},
        {"gds1000-12500", "GDS-1102", oGoodWill, 1, 12500},
        {"rigol-8192", "DS1102E", oRigol, 0, 8192},
    };
    bool ok = true;
    for (const Cas &c : cas)
        ok = lecture(c) && ok;

    QByteArray mots, octets, gds;
    for (int j = 0; j < 32768; ++j) {
        mots.append(char(j & 0xff)).append(char((j >> 8) & 0xff));
        octets.append(char(j * 7));
        gds.append(char((j >> 8) & 0xff)).append(char(j & 0xff));
    }
    decodage("agilent16", TLecteur::agilent, blocIeee(mots));
    decodage("hewlett8", TLecteur::hewlett, blocIeee(octets));
    decodage("gds2000", TLecteur::gds2000, "Sampling Period,1e-6;" + blocIeee(gds));
    QByteArray rigol;
    rigol.append(char(0)).append(char(0x80)).append(char(0)).append(char(0)).append(octets);
    decodage("rigol8", TLecteur::rigol, rigol);
    return ok ? 0 : 1;
}
