// ondivar-sim: simulated RS-232 oscilloscope on a pseudo-terminal.
#include "simengine.h"
#include "simgenerateur.h"
#include "simport.h"
#include "simscope.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

const char *kUsageEn =
    "Usage: ondivar-sim [options]\n"
    "Simulated serial oscilloscope. Creates a pseudo-terminal and prints\n"
    "\"PTY <path>\" as its first output line; the client opens <path>.\n"
    "\n"
    "  --model NAME        instrument: %1 (default 54622D)\n"
    "  --path P            serve the existing tty or pty slave P instead\n"
    "  --baud N            line speed for the reply pacing (default 19200)\n"
    "  --term crlf|lf      reply terminator (default crlf)\n"
    "  --ch1 S, --ch2 S    input signal: shape,amplitude V,frequency Hz,phase deg,offset V\n"
    "                      shape is sine or square, e.g. sine,1.0,1000,0,0\n"
    "  --fault F           silence | late=MS | noterm | noise=N | truncate | badcount[=D]\n"
    "                      blocknoise=N | undef | baddigits | zeros=N | tailzeros=N\n"
    "                      oversize=N | hangup | lflate=MS (repeatable or comma-separated)\n"
    "  --filtre FC         first-order low-pass of corner FC Hz between the generator\n"
    "                      (CH1) and CH2: CH2 is CH1 through the filter\n"
    "  --balayage A:B:D[:log|lin][:N]  generator swept from A to B Hz in D seconds,\n"
    "                      again and again, logarithmic or linear, in N held steps\n"
    "  --autoset           the time base follows the generator (a few periods on screen)\n"
    "  --generateur D      also serve a programmable generator of dialect D (scpi, rigol,\n"
    "                      siglent, keysight, feeltech) on a second pseudo-terminal; prints\n"
    "                      \"GEN <path>\" after the PTY line; its frequency drives CH1 (and CH2\n"
    "                      through --filtre)\n"
    "  --generateur-tcp P  serve the generator on 127.0.0.1 port P instead (0: any free\n"
    "                      port); prints \"GEN TCPIP0::127.0.0.1::<port>::SOCKET\"\n"
    "  --generateur-defaut F  generator fault: silence | refus | silence-apres=K |\n"
    "                      refus-apres=K (from the K-th frequency command on)\n"
    "  --bode              Sefram, kept for older scripts: :ACQn:POIN always answers\n"
    "                      16-bit words, 65536 units over the 8 divisions\n"
    "  --record N          samples of a waveform record (points held by the instrument)\n"
    "  --init LINE         run the command LINE at start (instrument state), repeatable\n"
    "  --acq-ms MS         time a digitize takes (default 0)\n"
    "  --hold              hold the line locked, as another program would (model busy does)\n"
    "  --fault-after K     apply the faults from the K-th query on (default 1)\n"
    "  --echo-log FILE     append every received command line to FILE\n"
    "  --seed N            seed of the noise generator\n"
    "  --lang en|fr        language of this help\n"
    "  --help              show this help\n";

const char *kUsageFr =
    "Usage : ondivar-sim [options]\n"
    "Oscilloscope série simulé. Crée un pseudo-terminal et écrit\n"
    "\"PTY <chemin>\" en première ligne ; le client ouvre <chemin>.\n"
    "\n"
    "  --model NOM         instrument : %1 (défaut 54622D)\n"
    "  --path P            servir le tty ou l'esclave pty existant P\n"
    "  --baud N            vitesse de ligne pour le cadencement (défaut 19200)\n"
    "  --term crlf|lf      fin des réponses (défaut crlf)\n"
    "  --ch1 S, --ch2 S    signal d'entrée : forme,amplitude V,fréquence Hz,phase deg,décalage V\n"
    "                      forme sine ou square, ex. sine,1.0,1000,0,0\n"
    "  --fault F           silence | late=MS | noterm | noise=N | truncate | badcount[=D]\n"
    "                      blocknoise=N | undef | baddigits | zeros=N | tailzeros=N\n"
    "                      oversize=N | hangup | lflate=MS (répétable ou séparé par des\n"
    "                      virgules)\n"
    "  --filtre FC         passe-bas du premier ordre de coupure FC Hz entre le générateur\n"
    "                      (CH1) et CH2 : CH2 est CH1 à travers le filtre\n"
    "  --balayage A:B:D[:log|lin][:N]  générateur balayé de A à B Hz en D secondes,\n"
    "                      sans fin, logarithmique ou linéaire, en N paliers\n"
    "  --autoset           la base de temps suit le générateur (quelques périodes à l'écran)\n"
    "  --generateur D      servir aussi un générateur programmable de dialecte D (scpi, rigol,\n"
    "                      siglent, keysight, feeltech) sur un second pseudo-terminal ; écrit\n"
    "                      \"GEN <chemin>\" après la ligne PTY ; sa fréquence pilote CH1 (et CH2\n"
    "                      à travers --filtre)\n"
    "  --generateur-tcp P  servir le générateur sur le port P de 127.0.0.1 (0 : un port libre) ;\n"
    "                      écrit \"GEN TCPIP0::127.0.0.1::<port>::SOCKET\"\n"
    "  --generateur-defaut F  défaut du générateur : silence | refus | silence-apres=K |\n"
    "                      refus-apres=K (à partir de la K-ième commande de fréquence)\n"
    "  --bode              Sefram, gardé pour les anciens scripts : :ACQn:POIN répond\n"
    "                      toujours en mots de 16 bits, 65536 unités sur 8 divisions\n"
    "  --record N          échantillons d'un enregistrement (points tenus par l'instrument)\n"
    "  --init LIGNE        exécuter la commande LIGNE au départ (état de l'instrument), répétable\n"
    "  --acq-ms MS         durée d'une numérisation (défaut 0)\n"
    "  --hold              tenir la ligne verrouillée, comme un autre programme (modèle busy)\n"
    "  --fault-after K     appliquer les défauts à partir de la K-ième requête (défaut 1)\n"
    "  --echo-log FICHIER  ajouter chaque ligne de commande reçue à FICHIER\n"
    "  --seed N            graine du générateur de bruit\n"
    "  --lang en|fr        langue de cette aide\n"
    "  --help              afficher cette aide\n";

[[noreturn]] void fail(const QString &msg)
{
    std::fprintf(stderr, "ondivar-sim: %s\n", qPrintable(msg));
    std::exit(2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    QString model = "54622D", path, term = "crlf", echoLog, lang;
    int baud = 19200;
    quint32 seed = 12345;
    bool help = false;
    SimFaults faults;
    QString ch[2];
    QStringList inits;
    int record = 0, acqMs = 0;
    bool holdLine = false, bode = false;
    SimBanc banc;   // filter, sweep and autoset of the command line
    SimGenerateurOptions generateur;

    for (int i = 0; i < args.size(); ++i) {
        QString opt = args[i], value;
        const bool hasInline = opt.startsWith("--") && opt.contains('=');
        if (hasInline) {
            value = opt.mid(opt.indexOf('=') + 1);
            opt = opt.left(opt.indexOf('='));
        }
        auto next = [&]() -> QString {
            if (hasInline) return value;
            if (i + 1 >= args.size()) fail("missing value for " + opt);
            return args[++i];
        };
        auto toInt = [&](const QString &v, int min) {
            bool ok; const int n = v.toInt(&ok);
            if (!ok || n < min) fail("bad value for " + opt + ": " + v);
            return n;
        };
        if (opt == "--help" || opt == "-h") help = true;
        else if (opt == "--lang") lang = next();
        else if (opt == "--model") model = next();
        else if (opt == "--path") path = next();
        else if (opt == "--baud") baud = toInt(next(), 50);
        else if (opt == "--term") term = next().toLower();
        else if (opt == "--ch1") ch[0] = next();
        else if (opt == "--ch2") ch[1] = next();
        else if (opt == "--fault") { QString err; if (!faults.add(next(), &err)) fail(err); }
        else if (opt == "--fault-after") faults.after = toInt(next(), 1);
        else if (opt == "--echo-log") echoLog = next();
        else if (opt == "--seed") seed = quint32(toInt(next(), 0));
        else if (opt == "--record") record = toInt(next(), 1);
        else if (opt == "--init") inits << next();
        else if (opt == "--acq-ms") acqMs = toInt(next(), 0);
        else if (opt == "--hold") holdLine = true;
        else if (QString err; banc.option(opt, next, err)) { if (!err.isEmpty()) fail(err); }
        else if (QString err; generateur.option(opt, next, err)) { if (!err.isEmpty()) fail(err); }
        else if (opt == "--bode") bode = true;
        else fail("unknown option " + opt + " (--help)");
    }

    if (help) {
        if (lang.isEmpty()) {
            const QByteArray env = qgetenv("LC_ALL").isEmpty()
                ? (qgetenv("LC_MESSAGES").isEmpty() ? qgetenv("LANG") : qgetenv("LC_MESSAGES"))
                : qgetenv("LC_ALL");
            lang = env.startsWith("fr") ? "fr" : "en";
        }
        const QString text = QString::fromUtf8(lang == "fr" ? kUsageFr : kUsageEn)
                                 .arg(SimModel::modelNames().join(", "));
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }

    auto m = SimModel::create(model);
    if (!m)
        fail("unknown model " + model + " (" + SimModel::modelNames().join(", ") + ")");
    for (int c = 0; c < 2; ++c) {
        if (ch[c].isEmpty())
            continue;
        SimSignal s;
        if (!SimSignal::parse(ch[c], s))
            fail(QString("bad signal for --ch%1: %2").arg(c + 1).arg(ch[c]));
        m->setSignal(c + 1, s);
    }
    if (term != "crlf" && term != "lf")
        fail("--term must be crlf or lf");
    if (record > 0 && !m->setRecord(record))
        fail("--record is not offered by model " + model);
    m->banc.coupure = banc.coupure;
    m->banc.balayage = banc.balayage;
    m->banc.autoset = banc.autoset;
    if (bode) {
        auto *sefram = dynamic_cast<SimSeframModel *>(m.get());
        if (!sefram)
            fail("--bode is offered by the Sefram model (5150) only");
        sefram->bode = true;
    }
    if (model.toLower() == "busy")
        holdLine = true;

    SimEngine engine(std::move(m));
    engine.setTerminator(term == "lf" ? QByteArray("\n") : QByteArray("\r\n"));
    engine.setFaults(faults);
    engine.setSeed(seed);
    engine.acquireMs = acqMs;
    for (const QString &line : inits) {   // the instrument's state at start; replies dropped
        SimFaults none;
        engine.setFaults(none);
        engine.processLine(line.toLatin1());
        engine.setFaults(faults);
    }
    engine.resetCounters();

    SimPort port(engine, baud);
    QString err, shown;
    if (!echoLog.isEmpty() && !port.setEchoLog(echoLog, &err))
        fail(err);
    if (path.isEmpty()) {
        if (!port.openPty(&shown, &err))
            fail(err);
    } else {
        if (!port.openPath(path, &err))
            fail(err);
        shown = path;
    }
    if (holdLine && !port.hold(&err))
        fail(err);
    std::printf("PTY %s\n", qPrintable(shown));
    std::fflush(stdout);
    std::unique_ptr<SimGenerateurServeur> serveurGenerateur;
    if (!generateur.demarre(engine.model().banc, serveurGenerateur, err))
        fail(err);
    return app.exec();
}
