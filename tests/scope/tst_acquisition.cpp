// The read procedures against ondivar-sim on a pseudo-terminal: the commands the instrument
// hears, in order, the messages, and the volts and seconds compared with the simulated signal.
#include "link/echange.h"
#include "link/portserie.h"
#include "link/ticktimer.h"
#include "measure/partage.h"
#include "scope/acquisition.h"
#include "simengine.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {

// Program time leads real time by this much: the waits that are meant to run out do so at once.
qint64 gAvance = 0;

// Records what a procedure shows; a test may act when Stop is enabled or at each pump.
class Vue : public IAcquisitionVue {
public:
    QStringList messages, statuts;
    std::function<void()> surPompe;
    std::function<void()> surStop;
    qint64 saut = 0;   // program milliseconds added at each pump (waits that must time out)
    bool stop = false, repos = false, acqFaite = false;
    int option = -1;
    void message(const QString &t) override { messages << t; }
    void statut(const QString &t) override { if (!t.isEmpty()) statuts << t; }
    void stopActif(bool a) override
    {
        stop = a;
        if (a && surStop)
            surStop();
    }
    void boutonsLecture() override { repos = false; }
    void boutonsRepos(bool f) override { repos = true; acqFaite = f; }
    void optionLecture(int item) override { option = item; }
    void pompe() override
    {
        QCoreApplication::processEvents();
        gAvance += saut;
        if (surPompe)
            surPompe();
    }
};

// One simulated instrument on its line, the port, the exchange and the procedures.
class Banc {
public:
    ~Banc() { arreteSim(); }
    bool demarre(Tconstructeur c, int modele, const QStringList &args)
    {
        constructeur = c;
        modeleGDS = modele;
        if (!lanceSim(args))
            return false;
        port = std::make_unique<TPortSerie>();
        port->setComNumber(1);
        port->setOpen(true);
        echange = std::make_unique<TEchange>(*port);
        acq = std::make_unique<TAcquisitionOsc>(*echange, &vue);
        acq->choisitNombres();
        acq->connect = c == oAgilent ? cVect : cConn;
        return port->Open();
    }
    bool lanceSim(const QStringList &args)
    {
        journal = dossier.filePath(QString("echo%1.txt").arg(++numero));
        sim = std::make_unique<QProcess>();
        sim->start(ONDIVAR_SIM_EXE, QStringList{"--baud", "230400", "--echo-log", journal} + args);
        if (!sim->waitForStarted(5000) || !sim->waitForReadyRead(5000))
            return false;
        const QByteArray first = sim->readLine().trimmed();
        if (!first.startsWith("PTY "))
            return false;
        ligneSim = first.mid(4);
        qputenv("ONDIVAR_PORTS", "1=" + ligneSim);
        return true;
    }
    void arreteSim()
    {
        if (sim) {
            sim->kill();
            sim->waitForFinished(3000);
            sim.reset();
        }
    }
    // Command lines heard, without the completion query the exchange appends.
    QStringList commandes() const
    {
        QFile f(journal);
        QStringList l;
        if (f.open(QIODevice::ReadOnly))
            for (QByteArray line : f.readAll().split('\n'))
                if (!line.isEmpty())
                    l << QString::fromLatin1(line.endsWith(";*OPC?") ? line.chopped(6) : line);
        return l;
    }
    // Largest error between the record of channel n and the input signal, in raw steps.
    double ecart(int n, const SimSignal &s) const
    {
        double pire = 0;
        const TvoieOsc &v = acq->Voie[n];
        for (int j = 0; j < acq->NbrePointsLu; ++j) {
            const double t = acq->Voie[0].valeurR(j);
            pire = std::max(pire, std::fabs(v.valeurR(j) - s.valueAt(t)) / std::fabs(v.increment));
        }
        return pire;
    }

    QTemporaryDir dossier;
    QString journal;
    QByteArray ligneSim;
    int numero = 0;
    std::unique_ptr<QProcess> sim;
    Vue vue;
    std::unique_ptr<TPortSerie> port;
    std::unique_ptr<TEchange> echange;
    std::unique_ptr<TAcquisitionOsc> acq;
};

SimSignal signal(const QString &s)
{
    SimSignal r;
    SimSignal::parse(s, r);
    return r;
}

// True when `attendu` appears in `liste` in this order (other lines may come between).
bool dansLOrdre(const QStringList &liste, const QStringList &attendu, QString *manque = nullptr)
{
    qsizetype i = 0;
    for (const QString &a : attendu) {
        while (i < liste.size() && liste[i] != a)
            ++i;
        if (i == liste.size()) {
            if (manque) *manque = a;
            return false;
        }
        ++i;
    }
    return true;
}

const QStringList kVoieAgilent(int n, int points)
{
    const QString c = QString::number(n);
    return {":WAV:SOURCE CHAN" + c, ":ACQ:POINTS?", ":WAV:POINTS " + QString::number(points), ":WAV:XINC?",
            ":WAV:XOR?", ":WAV:XREF?", ":WAV:YINC?", ":WAV:YOR?", ":WAV:YREF?", ":CHAN" + c + ":INV?", ":WAV:DATA?"};
}

// Rank (1-based) among the simulator's queries of the n-th `requete` in its echo log: the
// simulator's faults apply from a query rank on (--fault-after).
int rangDeRequete(const QString &journal, const QByteArray &requete, int n)
{
    QFile f(journal);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    int rang = 0;
    for (const QByteArray &ligne : f.readAll().split('\n'))
        for (const QByteArray &partie : ligne.split(';'))
            if (partie.contains('?')) {
                ++rang;
                if (partie.trimmed() == requete && --n == 0)
                    return rang;
            }
    return -1;
}

// A line the test can cut: the program's side is a pseudo-terminal whose other side the test
// holds and relays to the simulator's line; after `seuil` bytes of the reply to ":WAV:DATA?"
// the test closes its side, as an adapter pulled out mid-block.
class Relais {
public:
    bool ouvre(const QByteArray &ligneSim, qint64 s)
    {
        seuil = s;
        maitre = posix_openpt(O_RDWR | O_NOCTTY);
        if (maitre < 0 || grantpt(maitre) != 0 || unlockpt(maitre) != 0)
            return false;
        esclave = QByteArray(ptsname(maitre));
        sim = ::open(ligneSim.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (sim < 0)
            return false;
        for (int fd : {maitre, sim}) {
            termios t{};
            tcgetattr(fd, &t);
            cfmakeraw(&t);
            tcsetattr(fd, TCSANOW, &t);
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
        versSim = std::make_unique<QSocketNotifier>(maitre, QSocketNotifier::Read);
        QObject::connect(versSim.get(), &QSocketNotifier::activated, [this] { depuisProgramme(); });
        versProgramme = std::make_unique<QSocketNotifier>(sim, QSocketNotifier::Read);
        QObject::connect(versProgramme.get(), &QSocketNotifier::activated, [this] { depuisSim(); });
        return true;
    }
    ~Relais()
    {
        versSim.reset();
        versProgramme.reset();
        if (maitre >= 0) ::close(maitre);
        if (sim >= 0) ::close(sim);
    }
    void depuisProgramme()
    {
        char buf[4096];
        ssize_t n;
        while (maitre >= 0 && (n = ::read(maitre, buf, sizeof buf)) > 0) {
            commandes.append(buf, n);
            if (commandes.contains(":WAV:DATA?"))
                compte = true;
            if (::write(sim, buf, size_t(n)) != n)
                qWarning("relay to the simulator fell short");
        }
    }
    void depuisSim()
    {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(sim, buf, sizeof buf)) > 0) {
            if (maitre < 0)
                continue;   // the line is cut: what the simulator still sends is lost
            const qint64 garde = compte ? std::min<qint64>(n, seuil - passes) : n;
            if (garde > 0 && ::write(maitre, buf, size_t(garde)) != garde)
                qWarning("relay to the program fell short");
            if (compte && (passes += garde) >= seuil) {
                versSim.reset();
                ::close(maitre);
                maitre = -1;
                coupe.start();
            }
        }
    }
    int maitre = -1, sim = -1;
    QByteArray esclave, commandes;
    qint64 seuil = 0, passes = 0;
    bool compte = false;
    QElapsedTimer coupe;
    std::unique_ptr<QSocketNotifier> versSim, versProgramme;
};

const char *kCH1 = "sine,1.5,1000,0,0.25";
const char *kCH2 = "triangle,0.8,2000,30,-0.1";

} // namespace

Q_DECLARE_METATYPE(Tconstructeur)

class TestAcquisition : public QObject {
    Q_OBJECT
    QElapsedTimer horloge;
private slots:
    void init()
    {
        // Time runs four times faster for the program: pauses and time-outs shrink, the
        // line keeps its real speed.
        horloge.start();
        gAvance = 0;
        TickClock::setSource([this] { return horloge.elapsed() * 4 + gAvance; });
        arretAcquisition = false;
    }
    void cleanup() { TickClock::setSource({}); }

    void hpAgilentDirect();
    void hpAgilentModes_data();
    void hpAgilentModes();
    void hpAgilentBlocs_data();
    void hpAgilentBlocs();
    void hpStopPuisNouvelleLecture();
    void ligneDebrancheeEnPleinBloc();
    void autresMakers_data();
    void autresMakers();
    void autresRefus_data();
    void autresRefus();
    void rigolFinDEnregistrement();
    void seframStopNInterromptPas();
    void ligneCoupeeParLeTest();
    void lectureIncompleteGardeCH1();
    void rigolVoieNulle();
    void fiOrigineDesTemps();
};

void TestAcquisition::hpAgilentDirect()
{
    Banc b;
    QVERIFY(b.demarre(oAgilent, 0, {"--model", "54622D", "--ch1", kCH1, "--ch2", kCH2, "--init", ":CHAN1:OFFS 0.25;:CHAN2:RANG 4"}));
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QStringList attendu{":TIM:MODE?", ":ACQ:TYPE?", ":WAVEFORM:BYT LSBF", ":WAVEFORM:FORMAT WORD", ":STATUS? CHAN1", ":STATUS? CHAN2"};
    attendu << kVoieAgilent(1, 1000) << kVoieAgilent(2, 1000);
    QCOMPARE(b.commandes(), attendu);
    QVERIFY(b.acq->AcqFaite && b.acq->AcqAsauver && b.vue.repos && b.vue.acqFaite);
    QCOMPARE(b.acq->NbrePointsLu, 1000);
    QVERIFY(b.acq->Voie[1].Activee && b.acq->Voie[2].Activee);
    QVERIFY(!b.acq->modePeak);
    QVERIFY2(b.ecart(1, signal(kCH1)) <= 1.0, qPrintable(QString::number(b.ecart(1, signal(kCH1)))));
    QVERIFY(b.ecart(2, signal(kCH2)) <= 1.0);
}

void TestAcquisition::hpAgilentModes_data()
{
    QTest::addColumn<QString>("modele");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("etat");
    QTest::addColumn<QStringList>("sequence");      // in this order
    QTest::addColumn<QStringList>("absentes");      // never sent
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("voies");                 // bit 1: CH1 read, bit 2: CH2 read
    QTest::newRow("agilent figer") << "54622D" << 1 << ":TIM:RANG 5ms"
        << QStringList{":DISP:VECT?", ":DISP:VECT 0", ":DIG CHAN1,CHAN2", ":WAV:SOURCE CHAN1", ":WAV:DATA?", ":WAV:DATA?", ":RUN", ":DISP:VECT 1"}
        << QStringList{":ACQ:COMP 0", ":DITHER OFF", ":TIM:VERN?"} << QStringList{} << 3;
    QTest::newRow("hp figer, CH2 only, vernier") << "54645A" << 1 << ":BLANK CHAN1;:TIM:VERN ON"
        << QStringList{":TRIG:MODE?", ":TIM:MODE?", ":WAVEFORM:FORMAT BYTE", ":DISP:CONN?", ":TIM:VERN?", ":ACQ:COMP 100",
                       ":DISP:CONN OFF", ":DITHER OFF", ":DIG CHAN2", ":WAV:SOURCE CHAN2", ":RUN", ":DISP:CONN ON"}
        << QStringList{":WAV:SOURCE CHAN1", ":DIG CHAN1,CHAN2"} << QStringList{} << 2;
    QTest::newRow("hp figer, no joining command on 54600A") << "54600A" << 1 << ":BLANK CHAN2"
        << QStringList{":TIM:VERN?", ":ACQ:COMP 40", ":DIG CHAN1", ":RUN"}
        << QStringList{":DISP:CONN?", ":DISP:CONN OFF", ":DISP:CONN ON"} << QStringList{} << 1;
    QTest::newRow("hp single shot read directly") << "54645A" << 1 << ":TRIG:MODE SING"
        << QStringList{":TRIG:MODE?", ":TIM:MODE?", ":ACQ:COMP 0", ":WAV:DATA?", ":WAV:DATA?"}
        << QStringList{":DIG CHAN1,CHAN2", ":RUN"} << QStringList{} << 3;
    QTest::newRow("delayed refused") << "54645A" << 0 << ":TIM:MODE DEL"
        << QStringList{":TIM:MODE?"} << QStringList{":ACQ:TYPE?", ":WAV:DATA?"}
        << QStringList{"Acquisition impossible en mode DELAYED"} << 0;
    QTest::newRow("window refused") << "54622D" << 1 << ":TIM:MODE WIND"
        << QStringList{":TIM:MODE?"} << QStringList{":WAV:DATA?", ":DIG CHAN1,CHAN2"}
        << QStringList{"Acquisition impossible en mode WINDOW"} << 0;
    QTest::newRow("roll: stop, read, run, no digitize") << "54622D" << 1 << ":TIM:MODE ROLL"
        << QStringList{":TIM:MODE?", ":STOP", ":ACQ:TYPE?", ":WAV:DATA?", ":WAV:DATA?", ":RUN"}
        << QStringList{":DIG CHAN1,CHAN2", ":DISP:VECT 0"} << QStringList{} << 3;
    QTest::newRow("xy switched and restored") << "54645A" << 0 << ":TIM:MODE XY"
        << QStringList{":TIM:MODE?", ":STATUS? CHAN2", ":TIM:MODE NORM", ":WAV:DATA?", ":WAV:DATA?", ":TIM:MODE XY"}
        << QStringList{} << QStringList{"Vérifier la non saturation des voies"} << 3;
    QTest::newRow("no active channel") << "54622D" << 1 << ":BLANK CHAN1;:BLANK CHAN2"
        << QStringList{":STATUS? CHAN2"} << QStringList{":DIG ", ":WAV:DATA?", ":RUN"}
        << QStringList{"Aucune voie active"} << 0;
    QTest::newRow("500 points held, 1000 asked") << "54622D" << 0 << "--record=500"
        << QStringList{":ACQ:POINTS?", ":WAV:POINTS 500", ":WAV:DATA?"} << QStringList{":WAV:POINTS 1000"}
        << QStringList{"Pas plus de 500 points", "Nombre de points = 500", "Pas plus de 500 points", "Nombre de points = 500"} << 3;
    QTest::newRow("fewer than the smallest count") << "54622D" << 0 << "--record=100"
        << QStringList{":ACQ:POINTS?"} << QStringList{":WAV:DATA?"}
        << QStringList{"Acquisition de CH1 non effectuée par l'oscillo"} << 0;
    QTest::newRow("peak detect noted") << "54645A" << 0 << ":ACQ:TYPE PEAK"
        << QStringList{":ACQ:TYPE?", ":WAV:DATA?"} << QStringList{} << QStringList{} << 3;
}

void TestAcquisition::hpAgilentModes()
{
    QFETCH(QString, modele);
    QFETCH(int, option);
    QFETCH(QString, etat);
    QFETCH(QStringList, sequence);
    QFETCH(QStringList, absentes);
    QFETCH(QStringList, messages);
    QFETCH(int, voies);
    Banc b;
    QStringList args{"--model", modele, "--ch1", kCH1, "--ch2", kCH2};
    if (etat.startsWith("--"))
        args << etat;
    else
        args << "--init" << etat;
    QVERIFY(b.demarre(modele == "54622D" ? oAgilent : oHewlett, 0, args));
    if (modele == "54600A")
        b.acq->connect = cNone;   // what the detection gives for a 54600A
    b.acq->OptionLecture = option;
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, messages);
    const QStringList cmd = b.commandes();
    QString manque;
    QVERIFY2(dansLOrdre(cmd, sequence, &manque), qPrintable(manque + " in " + cmd.join(" | ")));
    for (const QString &a : absentes)
        QVERIFY2(!cmd.contains(a), qPrintable(a));
    QCOMPARE(b.acq->Voie[1].Activee, bool(voies & 1));
    QCOMPARE(b.acq->Voie[2].Activee, bool(voies & 2));
    QCOMPARE(b.acq->AcqAsauver, voies != 0);
    QVERIFY(b.vue.repos && !b.vue.stop);
    if (etat == ":TRIG:MODE SING") {
        QCOMPARE(b.acq->OptionLecture, 0);
        QCOMPARE(b.vue.option, 0);
    }
    if (etat == ":ACQ:TYPE PEAK")
        QVERIFY(b.acq->modePeak);
    if (voies & 1)
        QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
    if (voies == 3 || voies == 2)
        QVERIFY(b.ecart(2, signal(kCH2)) <= 1.0);
}

void TestAcquisition::hpAgilentBlocs_data()
{
    QTest::addColumn<QString>("modele");
    QTest::addColumn<QString>("defaut");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("lu");
    QTest::addColumn<int>("points");
    const QString to1 = "Acquisition de CH1 non effectuée par l'ordinateur (time out) HP";
    QTest::newRow("noise before #") << "54622D" << "blocknoise=40" << QStringList{} << true << 1000;
    QTest::newRow("150 zeros of 1000") << "54645A" << "zeros=150" << QStringList{"CH1 saturée ou acquisition non complète"} << true << 1000;
    QTest::newRow("100 zeros of 1000 is fine") << "54645A" << "zeros=100" << QStringList{} << true << 1000;
    QTest::newRow("block cut short") << "54622D" << "truncate" << QStringList{to1} << false << 1000;
    QTest::newRow("#0") << "54645A" << "undef" << QStringList{to1} << false << 1000;
    QTest::newRow("count digits not digits") << "54622D" << "baddigits" << QStringList{to1} << false << 1000;
    QTest::newRow("count above what comes") << "54645A" << "badcount=50000" << QStringList{"Nombre de points = 51000", to1} << false << 1000;
    QTest::newRow("2000 samples when 1000 asked") << "54622D" << "oversize=2000" << QStringList{"Nombre de points = 2000"} << true << 2000;
    QTest::newRow("40000 samples, buffer holds 32769") << "54645A" << "oversize=40000" << QStringList{"Nombre de points = 40000"} << true << TailleVoie;
}

void TestAcquisition::hpAgilentBlocs()
{
    QFETCH(QString, modele);
    QFETCH(QString, defaut);
    QFETCH(QStringList, messages);
    QFETCH(bool, lu);
    QFETCH(int, points);
    Banc b;
    QVERIFY(b.demarre(modele == "54622D" ? oAgilent : oHewlett, 0,
                      {"--model", modele, "--ch1", kCH1, "--init", ":BLANK CHAN2", "--fault", defaut}));
    if (!lu)
        b.vue.saut = 500;
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, messages);
    QCOMPARE(b.acq->Voie[1].Activee, lu);
    QCOMPARE(b.acq->AcqAsauver, lu);
    if (lu) {
        QCOMPARE(b.acq->NbrePointsLu, points);
        if (points == 1000 && !defaut.startsWith("zeros"))
            QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
    }
}

void TestAcquisition::hpStopPuisNouvelleLecture()
{
    Banc b;
    QVERIFY(b.demarre(oAgilent, 0, {"--model", "54622D", "--ch1", kCH1, "--acq-ms", "800"}));
    b.acq->OptionLecture = 1;
    // Stop is pressed while the instrument digitizes.
    b.vue.surStop = [&] {
        if (b.vue.statuts.value(b.vue.statuts.size() - 1) == "Attente de fin d'acquisition")
            QTimer::singleShot(100, [] { arretAcquisition = true; });
    };
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{"Arrêt de l'acquisition par l'utilisateur"});
    QVERIFY(!b.acq->AcqAsauver && !b.vue.acqFaite && b.vue.repos);
    QVERIFY(!b.commandes().contains(":WAV:DATA?"));
    // The next read starts afresh, once the late completion of the digitize has come.
    b.vue.surStop = {};
    b.vue.messages.clear();
    QTest::qWait(1000);
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QVERIFY(b.acq->AcqAsauver && b.acq->Voie[1].Activee && b.acq->Voie[2].Activee);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
}

void TestAcquisition::ligneDebrancheeEnPleinBloc()
{
    Banc b;
    QVERIFY(b.demarre(oHewlett, 0, {"--model", "54645A", "--ch1", kCH1, "--init", ":BLANK CHAN2", "--fault", "hangup"}));
    b.acq->Enregistre();
    // The read ends on the port's reason: nothing more can come on a line that went away.
    QCOMPARE(b.vue.messages.size(), 1);
    QVERIFY2(b.vue.messages[0].contains(QString::fromUtf8("est coupée")), qPrintable(b.vue.messages[0]));
    QVERIFY(!b.acq->Voie[1].Activee && !b.acq->AcqAsauver && !b.port->Open());
    QCOMPARE(b.acq->voiesNonLues(), QStringList{"CH1"});
    // Another line, the same window: the read works.
    b.sim->waitForFinished(3000);
    QVERIFY(b.lanceSim({"--model", "54645A", "--ch1", kCH1}));
    b.port->setOpen(false);
    b.port->setOpen(true);
    b.vue.messages.clear();
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QVERIFY(b.acq->Voie[1].Activee && b.acq->Voie[2].Activee && b.acq->AcqAsauver);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
}

void TestAcquisition::autresMakers_data()
{
    QTest::addColumn<Tconstructeur>("maker");
    QTest::addColumn<int>("modele");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("points");           // NbrePoints asked (0: the maker's default)
    QTest::addColumn<QStringList>("sequence");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("lus");
    QTest::addColumn<bool>("inverse2");         // CH2 inverted on the instrument
    QTest::newRow("sefram stopped display") << oSefram << 0 << QStringList{"--model", "5150", "--init", ":TIM:SWE 3;:CHAN1:SCAL 0.5;:TIM:DEL 1e-4"} << 0
        << QStringList{":TIM:SWE?", ":STOP", ":ACQ:MOD?", ":CHAN1:DISP?", ":CHAN2:DISP?", ":TIM:SCAL?", ":TIM:DEL?", ":CHAN1:SCAL?",
                       ":CHAN1:INV?", ":ACQ1:POIN", ":ACQ2:POIN", ":RUN"}
        << QStringList{} << 500 << false;
    QTest::newRow("sefram inverted channel, xy") << oSefram << 0 << QStringList{"--model", "5150", "--init", ":TIM:SWE 4;:CHAN2:INV ON"} << 0
        << QStringList{":TIM:SWE?", ":TIM:SWE 0", ":ACQ:MOD?", ":CHAN2:INV?", ":ACQ2:POIN", ":TIM:SWE 4"}
        << QStringList{} << 500 << true;
    QTest::newRow("gds800 record length first") << oGoodWill << 0 << QStringList{"--model", "GDS-820"} << 2500
        << QStringList{":TIM:SWE?", ":ACQ:MOD?", ":CHAN1:DISP?", ":TIM:SCAL?", ":TIM:DEL?", ":CHAN1:SCAL?", ":CHAN1:POS?", ":CHAN1:INV?",
                       ":ACQ:LENG 2500", ":ACQ1:MEM?", ":ACQ:LENG 2500", ":ACQ2:MEM?"}
        << QStringList{} << 2500 << false;
    QTest::newRow("gds1000 holds fewer points") << oGoodWill << 1 << QStringList{"--model", "GDS-1102", "--record", "5000", "--init", ":CHAN2:INV ON"} << 0
        << QStringList{":TIM:SWE?", ":ACQ1:MEM?", ":ACQ2:MEM?"}
        << QStringList{"Nombre de points = 5000", "Nombre de points = 5000"} << 5000 << true;
    QTest::newRow("gds2000 in xy") << oGoodWill << 2 << QStringList{"--model", "GDS-2062", "--init", ":TIM:MOD XY;:TIM:POS 2e-4"} << 0
        << QStringList{":HEAD ON", ":TIM:MOD?", ":TIM:MOD MAIN", ":ACQ:MOD?", ":CHAN1:DISP?", ":CHAN2:DISP?", ":TIM:SCAL?", ":TIM:POS?",
                       ":CHAN1:SCAL?", ":CHAN1:POS?", ":CHAN1:INV?", ":ACQ1:MEM?", ":ACQ2:MEM?", ":TIM:MOD XY"}
        << QStringList{} << 5000 << false;
    QTest::newRow("gds2000 record of 50000 keeps 32768") << oGoodWill << 2 << QStringList{"--model", "GDS-2062", "--record", "50000", "--init", ":CHAN2:DISP OFF"} << 0
        << QStringList{":ACQ1:MEM?"} << QStringList{} << 32768 << false;
    QTest::newRow("fi stopped") << oFI << 0 << QStringList{"--model", "FI3104", "--init", ":TIM:SWE 3"} << 0
        << QStringList{":TIM:SWE?", ":STOP", ":ACQ:MOD?", ":CHAN1:DISP?", ":CHAN2:DISP?", ":CHAN1:SCAL?", ":ACQ1:MEM?", ":CHAN2:SCAL?", ":ACQ2:MEM?", ":RUN"}
        << QStringList{} << 2500 << false;
    QTest::newRow("rigol xy") << oRigol << 0 << QStringList{"--model", "DS1102E", "--init", ":TIM:FORM XY;:CHAN1:OFFS 0.5;:CHAN2:INV ON;:CHAN2:OFFS -0.2;:TIM:OFFS 1e-4"} << 0
        << QStringList{":TIM:FORM?", ":TIM:MODE?", ":TIM:FORM YT", ":CHAN1:DISP?", ":CHAN2:DISP?", ":TIM:SCAL?", ":TIM:OFFS?", ":CHAN1:SCAL?",
                       ":CHAN1:OFFS?", ":CHAN1:INV?", ":WAV:DATA? CHAN1", ":WAV:DATA? CHAN2", ":TIM:FORM XY", ":KEY:LOCK DIS"}
        << QStringList{"Vérifier la non saturation des voies"} << 8192 << true;
}

void TestAcquisition::autresMakers()
{
    QFETCH(Tconstructeur, maker);
    QFETCH(int, modele);
    QFETCH(QStringList, args);
    QFETCH(int, points);
    QFETCH(QStringList, sequence);
    QFETCH(QStringList, messages);
    QFETCH(int, lus);
    QFETCH(bool, inverse2);
    Banc b;
    QVERIFY(b.demarre(maker, modele, args + QStringList{"--ch1", kCH1, "--ch2", kCH2}));
    if (points)
        b.acq->NbrePoints = points;
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, messages);
    const QStringList cmd = b.commandes();
    QString manque;
    QVERIFY2(dansLOrdre(cmd, sequence, &manque), qPrintable(manque + " in " + cmd.join(" | ")));
    QCOMPARE(b.acq->NbrePointsLu, lus);
    QVERIFY(b.acq->AcqAsauver && b.vue.acqFaite);
    QVERIFY(b.acq->Voie[1].Activee);
    QVERIFY2(b.ecart(1, signal(kCH1)) <= 1.0, qPrintable(QString::number(b.ecart(1, signal(kCH1)))));
    if (b.acq->Voie[2].Activee) {
        // The FI reads no inversion: its record is the inverted trace as displayed.
        SimSignal s2 = signal(kCH2);
        QVERIFY2(b.ecart(2, s2) <= 1.0, qPrintable(QString::number(b.ecart(2, s2))));
        if (inverse2 && maker != oRigol)
            QVERIFY(b.acq->Voie[2].increment < 0);
    }
    if (maker == oRigol) {
        QCOMPARE(cmd.last(), QStringLiteral(":KEY:LOCK DIS"));
        // 1 V per division: raw 125 is the opposite of the offset, each raw step -0.04 V.
        TvoieOsc v = b.acq->Voie[1];
        v.Valeur[0] = 125;
        v.Valeur[1] = 126;
        QCOMPARE(v.valeurR(0), -0.5);
        QCOMPARE(v.valeurR(1) - v.valeurR(0), -0.04);
        QCOMPARE(baseDeTemps, 5e-4);
    }
}

void TestAcquisition::autresRefus_data()
{
    QTest::addColumn<Tconstructeur>("maker");
    QTest::addColumn<int>("modele");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("sefram delayed") << oSefram << 0 << QStringList{"--model", "5150", "--init", ":TIM:SWE 1"} << "Acquisition impossible en mode Delayed";
    QTest::newRow("gds800 window") << oGoodWill << 0 << QStringList{"--model", "GDS-820", "--init", ":TIM:SWE 2"} << "Acquisition impossible en mode Windows";
    QTest::newRow("gds1000 peak") << oGoodWill << 1 << QStringList{"--model", "GDS-1102", "--init", ":ACQ:MOD 1"} << "Acquisition impossible en mode PEAK";
    QTest::newRow("gds2000 peak") << oGoodWill << 2 << QStringList{"--model", "GDS-2062", "--init", ":ACQ:MOD PDET"} << "Acquisition impossible en mode PEAK";
    QTest::newRow("gds2000 unknown acquisition mode") << oGoodWill << 2 << QStringList{"--model", "GDS-2062", "--init", ":ACQ:MOD HIRES"} << "Acquisition impossible en mode PEAK";
    QTest::newRow("fi delayed") << oFI << 0 << QStringList{"--model", "FI3104", "--init", ":TIM:SWE 1"} << "Acquisition impossible en mode Delayed ou Windows";
    QTest::newRow("fi peak") << oFI << 0 << QStringList{"--model", "FI3104", "--init", ":ACQ:MOD 1"} << "Acquisition impossible en mode PEAK";
    QTest::newRow("rigol delayed") << oRigol << 0 << QStringList{"--model", "DS1102E", "--init", ":TIM:MODE DEL"} << "Acquisition impossible en mode delayed";
    QTest::newRow("sefram time-out") << oSefram << 0 << QStringList{"--model", "5150", "--init", ":CHAN2:DISP OFF", "--fault", "truncate"} << "Acquisition de CH1 non effectuée par l'ordinateur (time out)";
    QTest::newRow("gds2000 time-out") << oGoodWill << 2 << QStringList{"--model", "GDS-2062", "--init", ":CHAN2:DISP OFF", "--fault", "undef"} << "Acquisition de CH1 non effectuée par l'ordinateur (time out)";
    QTest::newRow("fi time-out") << oFI << 0 << QStringList{"--model", "FI3104", "--init", ":CHAN2:DISP OFF", "--fault", "truncate"} << "Acquisition de CH1 non effectuée par l'ordinateur (time out) FI";
    QTest::newRow("rigol time-out") << oRigol << 0 << QStringList{"--model", "DS1102E", "--init", ":CHAN2:DISP OFF", "--fault", "truncate"} << "Acquisition de CH1 non effectuée par l'ordinateur (time out) Rigol";
    QTest::newRow("rigol xy time-out") << oRigol << 0 << QStringList{"--model", "DS1102E", "--init", ":CHAN2:DISP OFF;:TIM:FORM XY", "--fault", "truncate"} << "Vérifier la non saturation des voies|Acquisition en mode XY impossible";
    QTest::newRow("sefram count not decimal") << oSefram << 0 << QStringList{"--model", "5150", "--init", ":CHAN2:DISP OFF", "--fault", "baddigits"} << "Acquisition de CH1 non effectuée par l'ordinateur (time out)";
}

void TestAcquisition::autresRefus()
{
    QFETCH(Tconstructeur, maker);
    QFETCH(int, modele);
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    Banc b;
    QVERIFY(b.demarre(maker, modele, args));
    if (message.contains("time out") || message.contains("XY impossible"))
        b.vue.saut = 500;
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, message.split('|'));
    QVERIFY(!b.acq->AcqAsauver && !b.vue.acqFaite && !b.acq->Voie[1].Activee && b.vue.repos);
    const QStringList cmd = b.commandes();
    if (!message.contains("time out") && !message.contains("XY"))
        QVERIFY(!cmd.join(' ').contains("MEM?") && !cmd.join(' ').contains("POIN") && !cmd.join(' ').contains("DATA?"));
    if (maker == oRigol)
        QCOMPARE(cmd.last(), QStringLiteral(":KEY:LOCK DIS"));
}

void TestAcquisition::rigolFinDEnregistrement()
{
    Banc b;
    QVERIFY(b.demarre(oRigol, 0, {"--model", "DS1102E", "--ch1", kCH1, "--ch2", kCH2, "--fault", "tailzeros=20"}));
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QCOMPARE(b.acq->NbrePointsLu, 8192 - 20);
    QVERIFY(b.acq->AcqAsauver && b.acq->Voie[1].Activee && b.acq->Voie[2].Activee);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
    QCOMPARE(b.acq->Voie[0].increment, 12 * 5e-4 / 8192);
}

void TestAcquisition::seframStopNInterromptPas()
{
    Banc b;
    QVERIFY(b.demarre(oSefram, 0, {"--model", "5150", "--ch1", kCH1, "--ch2", kCH2, "--init", ":CHAN2:DISP OFF"}));
    b.port->startTrace(b.dossier.filePath("t.trc"), b.dossier.filePath("t.log"));
    b.vue.surPompe = [&] { if (b.vue.stop) arretAcquisition = true; };
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QVERIFY(b.acq->AcqAsauver && b.acq->Voie[1].Activee && !b.acq->Voie[2].Activee);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
    // The trace of the read, in the log of the port.
    const QStringList log = b.port->logEntries();
    QString manque;
    QVERIFY2(dansLOrdre(log, {"appel-enregistreSefram", "Voie1 active : Oui", "Voie2 active : Non", "Entrée litVoie1",
                              "Debut boucle d'attente"}, &manque), qPrintable(manque));
    QVERIFY(!log.filter(QRegularExpression("^Fin boucle d'attente N=500duree=\\d+[.,]\\d\\d$")).isEmpty());
    QVERIFY(dansLOrdre(log, {"Nbre=1014;voie=1", "Sortie litVoie1"}));   // 14 header bytes + 500 samples
}

void TestAcquisition::ligneCoupeeParLeTest()
{
    // 1000 Agilent samples are 2000 bytes: the line closes after 600 of them.
    Banc b;
    QVERIFY(b.lanceSim({"--model", "54622D", "--ch1", kCH1, "--ch2", kCH2}));
    constructeur = oAgilent;
    Relais r;
    QVERIFY(r.ouvre(b.ligneSim, 600));
    qputenv("ONDIVAR_PORTS", "1=" + r.esclave);
    b.port = std::make_unique<TPortSerie>();
    b.port->setComNumber(1);
    b.port->setOpen(true);
    b.echange = std::make_unique<TEchange>(*b.port);
    b.acq = std::make_unique<TAcquisitionOsc>(*b.echange, &b.vue);
    b.acq->choisitNombres();
    QCOMPARE(b.acq->NbrePoints, 1000);
    b.acq->Enregistre();
    QVERIFY(r.coupe.isValid());
    qInfo("read ended %lld ms after the line closed", r.coupe.elapsed());
    // Not the time-out of a silent instrument: the port's own words, and the read ends there.
    QCOMPARE(b.vue.messages.size(), 1);
    QVERIFY2(b.vue.messages[0].startsWith(QString::fromUtf8("La liaison série COM1")) && b.vue.messages[0].contains(QString::fromUtf8("coupée")),
             qPrintable(b.vue.messages[0]));
    QVERIFY(!b.port->Open());
    QVERIFY(!b.acq->AcqAsauver && !b.acq->Voie[1].Activee && !b.acq->Voie[2].Activee && b.vue.repos);
    QCOMPARE(b.acq->voiesNonLues(), (QStringList{"CH1", "CH2"}));
    QCOMPARE(r.commandes.count(":WAV:DATA?"), 1);
}

void TestAcquisition::lectureIncompleteGardeCH1()
{
    // CH1 complete, CH2's block cut short: CH1's record stays to be saved or sent (the last
    // channel's flag alone would throw it away), and the read says CH2 is missing.
    int rang = -1;
    {
        Banc propre;
        QVERIFY(propre.demarre(oAgilent, 0, {"--model", "54622D", "--ch1", kCH1, "--ch2", kCH2}));
        propre.acq->Enregistre();
        rang = rangDeRequete(propre.journal, ":WAV:DATA?", 2);
    }
    QVERIFY(rang > 0);
    Banc b;
    QVERIFY(b.demarre(oAgilent, 0, {"--model", "54622D", "--ch1", kCH1, "--ch2", kCH2, "--fault", "truncate",
                                    "--fault-after", QString::number(rang)}));
    // CH2's wait runs out at once; CH1's block has its time.
    b.vue.surPompe = [&] { b.vue.saut = b.acq->VoieCourante == 2 ? 500 : 0; };
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{"Acquisition de CH2 non effectuée par l'ordinateur (time out) HP"});
    QVERIFY(b.acq->Voie[1].Activee && !b.acq->Voie[2].Activee);
    QVERIFY(b.acq->AcqFaite && b.acq->AcqAsauver && b.vue.acqFaite);
    QCOMPARE(b.acq->NbrePointsLu, 1000);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
    QCOMPARE(b.acq->voiesNonLues(), QStringList{"CH2"});
}

void TestAcquisition::rigolVoieNulle()
{
    // CH2 far off the screen: its serial record is nothing but raw zeros. Trimmed as a
    // record, it would leave no sample of CH1 either; it is no record, CH1 keeps its count.
    Banc b;
    QVERIFY(b.demarre(oRigol, 0, {"--model", "DS1102E", "--ch1", kCH1, "--ch2", "sine,0,1000,0,20"}));
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QCOMPARE(b.acq->NbrePointsLu, 8192);
    QVERIFY(b.acq->Voie[1].Activee && !b.acq->Voie[2].Activee && b.acq->AcqAsauver && b.vue.acqFaite);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
    QCOMPARE(b.acq->voiesNonLues(), QStringList{"CH2"});
}

void TestAcquisition::fiOrigineDesTemps()
{
    // The FI block carries the sample period only: times count from the record's start,
    // whatever origin an earlier read (another instrument, another maker) left behind.
    Banc b;
    QVERIFY(b.demarre(oFI, 0, {"--model", "FI3104", "--ch1", kCH1, "--init", ":CHAN2:DISP OFF"}));
    b.acq->Voie[0].origine = 2.5e-3;
    b.acq->Voie[0].reference = 40;
    b.acq->Enregistre();
    QCOMPARE(b.vue.messages, QStringList{});
    QCOMPARE(b.acq->Voie[0].valeurR(0), 0.0);
    QVERIFY(b.ecart(1, signal(kCH1)) <= 1.0);
}

QTEST_GUILESS_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
