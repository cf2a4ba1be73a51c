// ondivar-sim-rigol: simulated Rigol and Siglent oscilloscopes on loopback TCP or as a
// USBTMC stand-in.
#include "simengine.h"
#include "simgenerateur.h"
#include "simrigol.h"
#include "simrigolport.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

const char *kUsage =
    "Usage: ondivar-sim-rigol [options]\n"
    "Simulated Rigol / Siglent oscilloscope. The first output line tells where it is:\n"
    "\"TCP 127.0.0.1:<port>\" or \"USBTMC <path>\".\n"
    "\n"
    "  --model NAME        DS1000E (default), DS1000Z or SDS1000X-E\n"
    "  --usbtmc            serve a USBTMC stand-in instead of a socket\n"
    "  --dir D             folder of the stand-in (default $ONDIVAR_USBTMC_DIR)\n"
    "  --index N           name it usbtmcN (default: the first free N)\n"
    "  --port P            TCP port on 127.0.0.1 (default: any free port)\n"
    "  --ch1 S, --ch2 S    signal: shape,amplitude V,frequency Hz,phase deg,offset V\n"
    "                      (defaults sine,1,1000,0,0 and sine,0.5,1000,-90,0)\n"
    "  --set1 L, --set2 L  channel settings: scale=V/div,offset=V,inv=0|1,disp=0|1\n"
    "  --tdiv S            time base per division (default 1e-3)\n"
    "  --filtre FC         first-order low-pass of corner FC Hz between the generator\n"
    "                      (CH1) and CH2: CH2 is CH1 through the filter\n"
    "  --balayage A:B:D[:log|lin][:N]  generator swept from A to B Hz in D seconds,\n"
    "                      again and again, logarithmic or linear, in N held steps\n"
    "  --autoset           the time base follows the generator (a few periods on screen)\n"
    "  --generateur D      also serve a programmable generator of dialect D (scpi, rigol,\n"
    "                      siglent, keysight, feeltech) on a pseudo-terminal; prints\n"
    "                      \"GEN <path>\" after the first line; its frequency drives CH1\n"
    "  --generateur-tcp P  serve the generator on 127.0.0.1 port P instead (0: any free port)\n"
    "  --generateur-defaut F  generator fault: silence | refus | silence-apres=K | refus-apres=K\n"
    "  --toff S, --trdl S  Rigol time offset, Siglent trigger delay (default 0)\n"
    "  --points N          samples per waveform (600 DS1000E, 1200 DS1000Z, 1400 SDS)\n"
    "  --header, --raw     DS1000E: \"#8\" header before the samples (recent firmware) or not\n"
    "  --idn TEXT          identification reply\n"
    "  --serial S          USB serial number\n"
    "  --fault F           truncate | badcount[=D] | baddigits | drop (waveforms),\n"
    "                      silence | late=MS (every reply); repeatable, comma-separated\n"
    "  --fault-after K     faults from the K-th waveform (or query) on (default 1)\n"
    "  --echo-log FILE     append every received command line to FILE\n"
    "  --help              this help\n";

[[noreturn]] void fail(const QString &msg)
{
    std::fprintf(stderr, "ondivar-sim-rigol: %s\n", qPrintable(msg));
    std::exit(2);
}

// Paths the signal handler removes: the stand-in's link and sysfs files.
QList<QByteArray> gNettoyage;
QByteArray gDossierSysfs;

extern "C" void auSignal(int)
{
    for (const QByteArray &p : gNettoyage)
        ::unlink(p.constData());
    if (!gDossierSysfs.isEmpty())
        ::rmdir(gDossierSysfs.constData());
    ::_exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    QString modele = "DS1000E", dossier = qEnvironmentVariable("ONDIVAR_USBTMC_DIR"), echoLog, idn, serie;
    QString ch[2], set[2];
    bool usbtmc = false;
    int index = -1, port = 0, points = -1, entete = -1, apres = 1;
    double tdiv = -1, toff = 0, trdl = 0;
    SimFaults faults;
    SimRigolDefauts defauts;
    SimBanc banc;   // filter, sweep and autoset of the command line
    SimGenerateurOptions generateur;

    for (int i = 0; i < args.size(); ++i) {
        QString opt = args[i], value;
        const bool inline_ = opt.startsWith("--") && opt.contains('=');
        if (inline_) {
            value = opt.mid(opt.indexOf('=') + 1);
            opt = opt.left(opt.indexOf('='));
        }
        auto next = [&]() -> QString {
            if (inline_) return value;
            if (i + 1 >= args.size()) fail("missing value for " + opt);
            return args[++i];
        };
        auto entier = [&](const QString &v, int min) {
            bool ok; const int n = v.toInt(&ok);
            if (!ok || n < min) fail("bad value for " + opt + ": " + v);
            return n;
        };
        auto reel = [&](const QString &v) {
            bool ok; const double x = v.toDouble(&ok);
            if (!ok) fail("bad value for " + opt + ": " + v);
            return x;
        };
        if (opt == "--help" || opt == "-h") { std::fputs(kUsage, stdout); return 0; }
        else if (opt == "--model") modele = next();
        else if (opt == "--usbtmc") usbtmc = true;
        else if (opt == "--dir") dossier = next();
        else if (opt == "--index") index = entier(next(), 0);
        else if (opt == "--port") port = entier(next(), 0);
        else if (opt == "--ch1") ch[0] = next();
        else if (opt == "--ch2") ch[1] = next();
        else if (opt == "--set1") set[0] = next();
        else if (opt == "--set2") set[1] = next();
        else if (opt == "--tdiv") tdiv = reel(next());
        else if (opt == "--toff") toff = reel(next());
        else if (opt == "--trdl") trdl = reel(next());
        else if (opt == "--points") points = entier(next(), 1);
        else if (opt == "--header") entete = 1;
        else if (opt == "--raw") entete = 0;
        else if (opt == "--idn") idn = next();
        else if (opt == "--serial") serie = next();
        else if (opt == "--fault-after") apres = entier(next(), 1);
        else if (QString err; banc.option(opt, next, err)) { if (!err.isEmpty()) fail(err); }
        else if (QString err; generateur.option(opt, next, err)) { if (!err.isEmpty()) fail(err); }
        else if (opt == "--echo-log") echoLog = next();
        else if (opt == "--fault") {
            for (const QString &part : next().split(',', Qt::SkipEmptyParts)) {
                const QString p = part.trimmed().toLower();
                const QString nom = p.section('=', 0, 0), val = p.contains('=') ? p.section('=', 1) : QString();
                QString err;
                if (!defauts.ajoute(nom, val) && !faults.add(p, &err))
                    fail(err.isEmpty() ? "unknown fault " + p : err);
            }
        } else fail("unknown option " + opt + " (--help)");
    }
    if (port > 65535) fail("bad port");

    SimRigolModel::Genre genre;
    if (!SimRigolModel::genrePour(modele, genre))
        fail("unknown model " + modele + " (DS1000E, DS1000Z, SDS1000X-E)");
    auto m = std::make_unique<SimRigolModel>(genre);
    SimRigolModel &model = *m;
    for (int c = 0; c < 2; ++c) {
        if (!ch[c].isEmpty()) {
            SimSignal s;
            if (!SimSignal::parse(ch[c], s)) fail(QString("bad signal for --ch%1: %2").arg(c + 1).arg(ch[c]));
            model.setSignal(c + 1, s);
        }
        if (!set[c].isEmpty() && !model.regleVoie(c + 1, set[c]))
            fail(QString("bad settings for --set%1: %2").arg(c + 1).arg(set[c]));
    }
    if (tdiv > 0) model.tdiv = tdiv;
    model.banc.coupure = banc.coupure;
    model.banc.balayage = banc.balayage;
    model.banc.autoset = banc.autoset;
    model.toff = toff;
    model.trdl = trdl;
    if (points > 0) model.points = points;
    if (entete >= 0 && genre == SimRigolModel::DS1000E) model.entete = entete == 1;
    if (!idn.isEmpty()) model.idn = idn.toLatin1();
    if (!serie.isEmpty()) model.serie = serie;
    defauts.apres = apres;
    faults.after = apres;
    model.defauts = defauts;

    SimEngine engine(std::move(m));
    engine.setTerminator("\n");
    engine.setFaults(faults);
    SimRigolCoeur coeur(engine, model);
    QString err;
    if (!echoLog.isEmpty() && !coeur.setEchoLog(echoLog, &err))
        fail(err);

    std::unique_ptr<SimServeurTCP> tcp;
    std::unique_ptr<SimUsbtmc> usb;
    if (usbtmc) {
        if (dossier.isEmpty())
            fail("--usbtmc needs --dir or ONDIVAR_USBTMC_DIR");
        usb = std::make_unique<SimUsbtmc>(coeur);
        QString chemin;
        if (!usb->ouvre(dossier, index, &chemin, &err))
            fail(err);
        gNettoyage = usb->aNettoyer();
        gDossierSysfs = QFile::encodeName(chemin + ".sysfs");
        std::signal(SIGTERM, auSignal);
        std::signal(SIGINT, auSignal);
        std::signal(SIGHUP, auSignal);
        std::printf("USBTMC %s\n", qPrintable(chemin));
    } else {
        tcp = std::make_unique<SimServeurTCP>(coeur);
        if (!tcp->ecoute(quint16(port), &err))
            fail(err);
        std::printf("TCP 127.0.0.1:%u\n", unsigned(tcp->port()));
    }
    std::fflush(stdout);
    std::unique_ptr<SimGenerateurServeur> serveurGenerateur;
    if (!generateur.demarre(model.banc, serveurGenerateur, err))
        fail(err);
    const int r = app.exec();
    if (usb)
        usb->nettoie();
    return r;
}
