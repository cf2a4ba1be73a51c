// Tests of the simulated instrument: engine parsing and the serial dialogue
// through the pseudo-terminal of the real executable.
#include "link/portserie.h"
#include "link/types.h"
#include "instrument/session.h"
#include "simengine.h"
#include "simmodel_hp.h"
#include "simrigol.h"
#include "simscope.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <QRegularExpression>

#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One running simulator with the client end of its line opened raw.
class Sim {
public:
    explicit Sim(const QStringList &args)
    {
        proc.start(ONDIVAR_SIM_EXE, args);
        if (!proc.waitForStarted(5000) || !proc.waitForReadyRead(5000))
            return;
        const QByteArray first = proc.readLine().trimmed();
        if (!first.startsWith("PTY "))
            return;
        fd = ::open(first.mid(4).constData(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            return;
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
    ~Sim()
    {
        if (fd >= 0) ::close(fd);
        proc.kill();
        proc.waitForFinished(3000);
    }
    bool ok() const { return fd >= 0; }
    void send(const QByteArray &b) { QCOMPARE_GE(::write(fd, b.constData(), size_t(b.size())), b.size()); }
    // Reads until `want` bytes arrived or the line stays quiet for quietMs.
    QByteArray read(qsizetype want = -1, int quietMs = 400)
    {
        QByteArray out;
        char buf[4096];
        pollfd p{fd, POLLIN, 0};
        while ((want < 0 || out.size() < want) && ::poll(&p, 1, quietMs) > 0) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) break;
            out.append(buf, n);
        }
        return out;
    }
    QByteArray ask(const QByteArray &line, qsizetype want = -1) { send(line); return read(want); }

    QProcess proc;
    int fd = -1;
};

const QByteArray kAgilentIdn = "AGILENT TECHNOLOGIES,54622D,MY40000123,A.02.30";

// A serial model, or one of the TCP/USB instruments ("DS1000Z", "SDS1000X-E"), on an engine,
// with the filter and a clock the test holds.
std::unique_ptr<SimEngine> instrument(const QString &model, double coupure = 0, double *clock = nullptr)
{
    std::unique_ptr<SimModel> m = SimModel::create(model);
    SimRigolModel::Genre g;
    if (!m && SimRigolModel::genrePour(model, g))
        m = std::make_unique<SimRigolModel>(g);
    if (!m)
        return nullptr;
    m->banc.coupure = coupure;
    if (clock)
        m->banc.horloge = [clock] { return *clock; };
    return std::make_unique<SimEngine>(std::move(m));
}

// The replies to the lines given (separated by LF), joined, without the last terminator.
QByteArray ask(SimEngine &e, const QByteArray &lines)
{
    QByteArray out;
    for (const QByteArray &line : lines.split('\n'))
        for (const SimReply &r : e.processLine(line))
            out += r.bytes;
    return out.trimmed();
}

// The number of a reply in any maker's style: "1.00000E+03", "1.000kHz", "707.1mV",
// "5.000E-01V", "C1:PAVA RMS,7.071E-01V". NaN when there is none or for 9.9E+37.
double value(const QByteArray &reply)
{
    static const QRegularExpression re("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)([pnumkMG]?)");
    QByteArray last = reply.trimmed();
    last = last.mid(last.lastIndexOf('\n') + 1);
    const QString text = QString::fromLatin1(last.mid(last.lastIndexOf(',') + 1));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return qQNaN();
    static const QString prefixes = "pnum kMG";
    const double x = m.captured(1).toDouble();
    const qsizetype k = m.captured(2).isEmpty() ? 4 : prefixes.indexOf(m.captured(2));
    return x >= 9e37 ? qQNaN() : x * std::pow(1000.0, double(k - 4));
}

// Amplitude and phase (degrees) of the component at `cycles` periods over the samples.
void fondamental(const QList<double> &v, double cycles, double *amplitude, double *phase)
{
    double c = 0, s = 0;
    for (qsizetype j = 0; j < v.size(); ++j) {
        const double w = 2 * M_PI * cycles * double(j) / double(v.size());
        c += v[j] * std::cos(w);
        s += v[j] * std::sin(w);
    }
    *amplitude = 2 * std::hypot(c, s) / double(v.size());
    *phase = std::atan2(c, s) * 180 / M_PI;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
private slots:
    void splitNormalisesHeaders();
    void parseNumberUnits_data();
    void parseNumberUnits();
    void modelsDifferInDialect();
    void waveformSamplesFollowSignal();
    void faultsShapeReplies_data();
    void faultsShapeReplies();
    void dialogue_data();
    void dialogue();
    void clientReopensLine();
    void echoLogRecordsLines();
    void repliesTakeAtLeastWireTime();
    void identificationsDecide_data();
    void identificationsDecide();
    void blockFaults_data();
    void blockFaults();
    void triangleFollowsSine();
    void heldLineIsAlreadyOpen();
    void hangupClosesLineAndExits();
    void measurementsFollowFilter_data();
    void measurementsFollowFilter();
    void cannotMeasure_data();
    void cannotMeasure();
    void probeReplies_data();
    void probeReplies();
    void sweepParses_data();
    void sweepParses();
    void sweptGeneratorDrawsFilterCurve();
    void bodeBlocksDecodeToFilter_data();
    void bodeBlocksDecodeToFilter();
    void bodeFaults_data();
    void bodeFaults();
    void rigolWaveformsShowPhase_data();
    void rigolWaveformsShowPhase();
    void filterOptionEndToEnd();
};

void TestSim::splitNormalisesHeaders()
{
    SimEngine e(SimModel::create("54622D"));
    const auto calls = e.split(":CHANNEL2:RANGE 4V; :WAVEFORM:SOURCE CHAN1;POINTS 500;*OPC?");
    QCOMPARE(calls.size(), 4);
    QCOMPARE(calls[0].key, QString("CHAN#:RANG"));
    QCOMPARE(calls[0].suffix(0), 2);
    QCOMPARE(calls[0].args, QString("4V"));
    QCOMPARE(calls[1].key, QString("WAV:SOUR"));
    QCOMPARE(calls[2].key, QString("WAV:POIN")); // relative to the previous header
    QCOMPARE(calls[3].key, QString("*OPC?"));
    QVERIFY(calls[3].query);
}

void TestSim::parseNumberUnits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "1E-3" << 1e-3 << true;
    QTest::newRow("ms") << "500ms" << 0.5 << true;
    QTest::newRow("us space") << "2 us" << 2e-6 << true;
    QTest::newRow("volts") << "-1.5mV" << -1.5e-3 << true;
    QTest::newRow("kHz") << "10kHz" << 1e4 << true;
    QTest::newRow("MHZ is mega") << "2MHZ" << 2e6 << true;
    QTest::newRow("MA mega") << "3MA" << 3e6 << true;
    QTest::newRow("garbage") << "abc" << 0.0 << false;
    QTest::newRow("bad prefix") << "3Q" << 0.0 << false;
}

void TestSim::parseNumberUnits()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, valid);
    double v = 0;
    QCOMPARE(SimEngine::parseNumber(text, v), valid);
    if (valid)
        QVERIFY(qAbs(v - value) <= 1e-12 * qMax(1.0, qAbs(value)));
}

void TestSim::modelsDifferInDialect()
{
    // Joining command and sample format follow the model.
    SimEngine agilent(SimModel::create("54622D")), hp(SimModel::create("54645A")), old(SimModel::create("54600A"));
    auto one = [](SimEngine &e, const QByteArray &l) {
        const auto r = e.processLine(l);
        return r.empty() ? QByteArray() : r.back().bytes;
    };
    QCOMPARE(one(agilent, ":DISP:VECT 0;:DISP:VECT?"), QByteArray("0\r\n"));
    QCOMPARE(one(agilent, ":DISP:CONN?"), QByteArray());
    QCOMPARE(one(hp, ":DISP:CONN OFF;:DISP:CONN?"), QByteArray("0\r\n"));
    QCOMPARE(one(old, ":DISP:CONN?"), QByteArray());
    QCOMPARE(one(old, "*IDN?"), QByteArray("HEWLETT-PACKARD,54600A,0,A.01.20\r\n"));
    QCOMPARE(one(agilent, ":WAVEFORM:FORMAT WORD;:WAV:FORM?"), QByteArray("WORD\r\n"));
    QCOMPARE(one(hp, ":WAVEFORM:FORMAT WORD;:WAV:FORM?"), QByteArray("BYTE\r\n"));
    QCOMPARE(one(hp, ":TIM:MODE DEL;:TIM:MODE?"), QByteArray("DELAYED\r\n"));
    QCOMPARE(one(hp, ":TIM:MODE?"), QByteArray("DELAYED\r\n"));
    QCOMPARE(one(hp, "*RST;:TIM:MODE?"), QByteArray("NORMAL\r\n"));
}

void TestSim::waveformSamplesFollowSignal()
{
    // Decoding with the scale queries gives back the configured signal.
    auto model = SimModel::create("54622D");
    SimSignal s;
    s.amplitude = 1.5; s.frequency = 2000; s.offset = 0.25; s.phaseDeg = 30;
    model->setSignal(2, s);
    SimEngine e(std::move(model));
    auto num = [&](const QByteArray &q) { return e.processLine(q).at(0).bytes.trimmed().toDouble(); };
    for (const QByteArray fmt : {"BYTE", "WORD"}) {
        e.processLine(":WAV:SOUR CHAN2;:CHAN2:RANG 4;:CHAN2:OFFS 0.25;:WAV:BYT LSBF;:WAV:POIN 400;:WAV:FORM " + fmt);
        const double xinc = num(":WAV:XINC?"), xor0 = num(":WAV:XOR?"), yinc = num(":WAV:YINC?"),
                     yor = num(":WAV:YOR?"), yref = num(":WAV:YREF?");
        const QByteArray reply = e.processLine(":WAV:DATA?").at(0).bytes;
        const int width = fmt == "WORD" ? 2 : 1;
        const QByteArray head = SimEngine::block(QByteArray(400 * width, '\0')).left(5);
        QCOMPARE(reply.left(5), head);
        QVERIFY(reply.endsWith("\r\n"));
        QCOMPARE(reply.size(), 5 + 400 * width + 2);
        double worst = 0;
        for (int j = 0; j < 400; ++j) {
            const auto *b = reinterpret_cast<const unsigned char *>(reply.constData() + 5 + j * width);
            const int raw = width == 2 ? b[0] | (b[1] << 8) : b[0];
            const double v = (raw - yref) * yinc + yor;
            worst = qMax(worst, qAbs(v - s.valueAt(j * xinc + xor0)));
        }
        QVERIFY2(worst <= yinc, qPrintable(QString("%1: error %2").arg(QString(fmt)).arg(worst)));
    }
}

void TestSim::faultsShapeReplies_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected"); // exact reply, or empty for a check below
    QTest::newRow("silence") << "silence" << QByteArray("*IDN?") << QByteArray("<none>");
    QTest::newRow("noterm") << "noterm" << QByteArray("*OPC?") << QByteArray("1");
    QTest::newRow("truncate") << "truncate" << QByteArray(":WAV:POIN 10;:WAV:DATA?") << QByteArray("#210") + QByteArray(5, 'x');
    QTest::newRow("badcount") << "badcount=5" << QByteArray(":WAV:POIN 10;:WAV:DATA?") << QByteArray("#215") + QByteArray(10, 'x') + "\r\n";
    QTest::newRow("noise") << "noise=12" << QByteArray("*OPC?") << QByteArray();
}

void TestSim::faultsShapeReplies()
{
    QFETCH(QString, fault);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    SimEngine e(SimModel::create("54645A"));
    SimFaults f;
    QVERIFY(f.add(fault));
    f.after = 2;
    e.setFaults(f);
    QCOMPARE(e.processLine("*OPC?").at(0).bytes, QByteArray("1\r\n")); // before the fault starts
    const auto r = e.processLine(line);
    if (expected == "<none>") {
        QVERIFY(r.empty());
        return;
    }
    QCOMPARE(r.size(), size_t(1));
    QByteArray got = r[0].bytes;
    if (expected.isEmpty()) { // noise: 12 bytes, both kinds, then the reply
        QCOMPARE(got.size(), 12 + 3);
        QVERIFY(got.endsWith("1\r\n"));
        const QByteArray n = got.left(12);
        QVERIFY(std::any_of(n.begin(), n.end(), [](char c) { return uchar(c) < 32; }));
        QVERIFY(std::any_of(n.begin(), n.end(), [](char c) { return uchar(c) >= 32; }));
        QVERIFY(!n.contains('\n') && !n.contains('\r'));
        return;
    }
    // Mask the sample bytes, compare the framing.
    for (qsizetype i = 4; i < got.size() && got.startsWith('#'); ++i)
        if (i < got.size() - (got.endsWith("\r\n") ? 2 : 0)) got[i] = 'x';
    QCOMPARE(got, expected);
}

void TestSim::dialogue_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("idn agilent") << QStringList{} << QByteArray("*IDN?\n") << kAgilentIdn + "\r\n";
    QTest::newRow("idn hp") << QStringList{"--model", "54645A"} << QByteArray("*IDN?\n")
                            << QByteArray("HEWLETT-PACKARD,54645A,0,A.01.50\r\n");
    QTest::newRow("chained setter, cr ignored") << QStringList{} << QByteArray(":TIM:RANG 2ms;*OPC?\r\n:TIM:RANG?\n")
                                                << QByteArray("1\r\n2.000E-03\r\n");
    QTest::newRow("unknown ignored") << QStringList{} << QByteArray(":BOGUS?;:ZAP 3;*OPC?\n") << QByteArray("1\r\n");
    QTest::newRow("term lf") << QStringList{"--term", "lf"} << QByteArray(":CHAN1:RANG 4;:CHAN1:RANG?;*OPC?\n")
                             << QByteArray("4.000E+00\n1\n");
    QTest::newRow("fault after") << QStringList{"--fault", "noterm", "--fault-after", "2"}
                                 << QByteArray("*OPC?;*OPC?\n") << QByteArray("1\r\n1");
}

void TestSim::dialogue()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    Sim sim(args);
    QVERIFY(sim.ok());
    QCOMPARE(sim.ask(line, reply.size()), reply);
}

void TestSim::clientReopensLine()
{
    Sim sim({});
    QVERIFY(sim.ok());
    const QByteArray path = QFile::symLinkTarget("/proc/self/fd/" + QString::number(sim.fd)).toLocal8Bit();
    for (int round = 0; round < 3; ++round) {
        QCOMPARE(sim.ask("*IDN?\n", kAgilentIdn.size() + 2), kAgilentIdn + "\r\n");
        ::close(sim.fd);
        QTest::qWait(100);
        sim.fd = ::open(path.constData(), O_RDWR | O_NOCTTY);
        QVERIFY(sim.fd >= 0);
    }
    QCOMPARE(sim.proc.state(), QProcess::Running);
}

void TestSim::echoLogRecordsLines()
{
    QTemporaryDir dir;
    const QString log = dir.filePath("echo.txt");
    {
        Sim sim({"--echo-log", log});
        QVERIFY(sim.ok());
        QCOMPARE(sim.ask(":WAV:SOURCE CHAN2;*OPC?\r\n*IDN?\n", 3 + kAgilentIdn.size() + 2), "1\r\n" + kAgilentIdn + "\r\n");
    }
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(":WAV:SOURCE CHAN2;*OPC?\n*IDN?\n"));
}

void TestSim::repliesTakeAtLeastWireTime()
{
    // 1000 points at 9600 baud: header, data and terminator on the wire.
    Sim sim({"--baud", "9600", "--model", "54645A"});
    QVERIFY(sim.ok());
    QCOMPARE(sim.ask(":WAV:POIN 1000;*OPC?\n", 3), QByteArray("1\r\n"));
    const QByteArray q = ":WAV:DATA?\n";
    const qsizetype expected = 6 + 1000 + 2;
    QElapsedTimer t;
    t.start();
    sim.send(q);
    const QByteArray r = sim.read(expected, 2000);
    const qint64 ms = t.elapsed();
    QCOMPARE(r.size(), expected);
    const double wireMs = double(expected + q.size()) * 10.0 * 1000.0 / 9600.0;
    QVERIFY2(ms >= wireMs * 0.98, qPrintable(QString("%1 ms < %2 ms").arg(ms).arg(wireMs)));
}

Q_DECLARE_METATYPE(Tconstructeur)

void TestSim::identificationsDecide_data()
{
    // Every model answers "*IDN?" so that the detection finds the maker it stands for.
    QTest::addColumn<QString>("model");
    QTest::addColumn<Tconstructeur>("maker");
    QTest::addColumn<int>("gds");
    QTest::addColumn<QString>("kept");
    QTest::newRow("agilent") << "54622D" << oAgilent << 0 << QString(kAgilentIdn);
    QTest::newRow("hp") << "54645A" << oHewlett << 0 << "HEWLETT-PACKARD,54645A,0,A.01.50";
    QTest::newRow("sefram") << "5150" << oSefram << 0 << "SEFRAM,5150,0001234,V1.13";
    QTest::newRow("gds-820") << "GDS-820" << oGoodWill << 0 << "GW,GDS-820,EF000512,V2.05";
    QTest::newRow("gds-1102") << "GDS-1102" << oGoodWill << 1 << "GW,GDS-1102,EL800123,V1.21";
    QTest::newRow("gds-2062") << "GDS-2062" << oGoodWill << 2 << "GW,GDS-2062,EI150158,V1.38";
    QTest::newRow("rigol") << "DS1102E" << oRigol << 0 << "RIGOL TECHNOLOGIES,DS1102E";
    QTest::newRow("fi") << "FI3104" << oFI << 0 << "FI3104,0000120,V1.02";
    QTest::newRow("unknown") << "TDS210" << oNone << 0 << QString();
}

void TestSim::identificationsDecide()
{
    QFETCH(QString, model);
    QFETCH(Tconstructeur, maker);
    QFETCH(int, gds);
    QFETCH(QString, kept);
    SimEngine e(SimModel::create(model));
    const auto r = e.processLine("*IDN?");
    QCOMPARE(r.size(), size_t(1));
    QVERIFY(r[0].bytes.endsWith("\r\n"));
    const TDecision d = DecideIdentite(QString::fromLatin1(r[0].bytes.chopped(2)));
    QCOMPARE(d.constructeur, maker);
    if (maker == oGoodWill)
        QCOMPARE(d.modeleGDS, gds);
    if (maker != oNone)
        QCOMPARE(d.identite, kept);
}

void TestSim::blockFaults_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("head");     // expected start of the reply
    QTest::addColumn<int>("size");            // expected size, -1: not checked
    QTest::addColumn<int>("zeros");           // zero samples expected, -1: not checked
    const QByteArray hp = ":WAV:POIN 1000;:WAV:DATA?";
    QTest::newRow("hp plain") << "54645A" << "" << hp << QByteArray("#41000") << 6 + 1000 + 2 << -1;
    QTest::newRow("hp 150 zeros") << "54645A" << "zeros=150" << hp << QByteArray("#41000") << 1008 << 150;
    QTest::newRow("hp #0") << "54645A" << "undef" << hp << QByteArray("#0") << 2 + 1000 + 2 << -1;
    QTest::newRow("hp digits") << "54645A" << "baddigits" << hp << QByteArray("#4BAAA") << 1008 << -1;
    QTest::newRow("hp oversize") << "54645A" << "oversize=40000" << hp << QByteArray("#540000") << 7 + 40000 + 2 << -1;
    QTest::newRow("sefram header") << "5150" << "" << QByteArray(":ACQ1:POIN") << QByteArray("WV1008CH1 WORD") << 14 + 1000 + 2 << -1;
    QTest::newRow("sefram bad count") << "5150" << "baddigits" << QByteArray(":ACQ1:POIN") << QByteArray("WV12A4") << -1 << -1;
    QTest::newRow("gds800 period") << "GDS-820" << "" << QByteArray(":ACQ:LENG 4;:ACQ1:MEM?") << QByteArray("#18") << 3 + 8 + 8 + 2 << -1;
    QTest::newRow("gds2000 header") << "GDS-2062" << "" << QByteArray(":HEAD ON;:ACQ1:MEM?") << QByteArray("Format,1.0B;Memory Length,5000;") << -1 << -1;
    QTest::newRow("rigol tail zeros") << "DS1102E" << "tailzeros=20" << QByteArray(":WAV:DATA? CHAN1") << QByteArray("\x00\x20\x00\x00", 4) << 4 + 8192 << 20;
    QTest::newRow("noise before block") << "54622D" << "blocknoise=30" << QByteArray(":WAV:DATA?") << QByteArray() << 30 + 6 + 1000 + 2 << -1;
}

void TestSim::blockFaults()
{
    QFETCH(QString, model);
    QFETCH(QString, fault);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, head);
    QFETCH(int, size);
    QFETCH(int, zeros);
    SimEngine e(SimModel::create(model));
    SimFaults f;
    QVERIFY(f.add(fault));
    f.after = 0;   // from the first command on, queries or not
    e.setFaults(f);
    const auto r = e.processLine(query);
    QCOMPARE(r.size(), size_t(1));
    const QByteArray b = r[0].bytes;
    QVERIFY2(b.startsWith(head), b.left(40).toHex().constData());
    if (size >= 0)
        QCOMPARE(b.size(), qsizetype(size));
    if (fault.startsWith("blocknoise")) {
        QVERIFY(!b.left(30).contains('#') && !b.left(30).contains('\n'));
        QVERIFY(b.mid(30).startsWith("#41000"));
    }
    if (zeros >= 0) {
        const QByteArray data = model == "DS1102E" ? b.mid(4) : b.mid(6, 1000);
        QCOMPARE(int(data.count('\0')), zeros);
        if (model == "DS1102E")
            QVERIFY(data.endsWith(QByteArray(20, '\0')) && data.at(data.size() - 21) != '\0');
    }
}

void TestSim::triangleFollowsSine()
{
    SimSignal t, s;
    QVERIFY(SimSignal::parse("triangle,2,1000,0,0.5", t));
    QVERIFY(SimSignal::parse("sine,2,1000,0,0.5", s));
    QCOMPARE(t.valueAt(0), 0.5);
    QCOMPARE(t.valueAt(0.25e-3), s.valueAt(0.25e-3));   // both peak together
    QVERIFY(qAbs(t.valueAt(0.125e-3) - 1.5) < 1e-9);    // straight halfway up
}

void TestSim::heldLineIsAlreadyOpen()
{
    // The line of model "busy" is held by another program: opening it says so, the port
    // still counts as present.
    QProcess proc;
    proc.start(ONDIVAR_SIM_EXE, {"--model", "busy"});
    QVERIFY(proc.waitForStarted(5000) && proc.waitForReadyRead(5000));
    const QByteArray path = proc.readLine().trimmed().mid(4);
    qputenv("ONDIVAR_PORTS", "7=" + path);
    TPortSerie port;
    port.setComNumber(7);
    QVERIFY_THROWS_EXCEPTION(EAlreadyOpen, port.setOpen(true));
    QVERIFY(TPortSerie::PortPresent(7));
    proc.kill();
    proc.waitForFinished(3000);
}

void TestSim::hangupClosesLineAndExits()
{
    // A short block goes out while the command is still being handled: the line closes
    // inside the simulator's own read of it, which must end it cleanly, not crash it.
    Sim sim({"--baud", "230400", "--model", "54645A", "--fault", "hangup"});
    QVERIFY(sim.ok());
    sim.send(":WAV:POIN 10;:WAV:DATA?\n");
    QVERIFY(sim.proc.waitForFinished(5000));
    QCOMPARE(sim.proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.proc.exitCode(), 0);
}

void TestSim::measurementsFollowFilter_data()
{
    // A 1 V, 1 kHz sine through a 1 kHz corner: Vs/Ve = 0.707, CH2 lags by 45 degrees. The
    // queries are those of each maker's measurement cycle; "" where the maker has none.
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("freq");
    QTest::addColumn<QByteArray>("ve");
    QTest::addColumn<QByteArray>("vs");
    QTest::addColumn<QByteArray>("phase");
    QTest::addColumn<QByteArray>("units");   // a reply that must carry its unit, "" none
    QTest::newRow("agilent") << "54622D" << QByteArray(":MEAS:SOUR CHAN1;FREQ?") << QByteArray(":MEAS:SOUR CHAN1;VRMS?")
                             << QByteArray(":MEAS:SOUR CHAN2;VRMS?") << QByteArray(":MEAS:SOUR CHAN1;PHAS?") << QByteArray();
    QTest::newRow("hp") << "54645A" << QByteArray(":MEAS:SOUR CHAN1;FREQ?") << QByteArray(":MEAS:SOUR CHAN1;VRMS?")
                        << QByteArray(":MEAS:SOUR CHAN2;VRMS?") << QByteArray(":MEAS:SOUR CHAN1;PHAS?") << QByteArray();
    QTest::newRow("sefram") << "5150" << QByteArray(":MEAS:SOUR CHAN1;FREQ?") << QByteArray(":MEAS:SOUR CHAN1;VRMS?")
                            << QByteArray(":MEAS:SOUR CHAN2;VRMS?") << QByteArray(":MEAS:SOUR CHAN1;PHAS?") << QByteArray("Hz");
    QTest::newRow("fi") << "FI3104" << QByteArray(":MEAS:SOUR CHAN1;FREQ?") << QByteArray(":MEAS:SOUR CHAN1;VRMS?")
                        << QByteArray(":MEAS:SOUR CHAN2;VRMS?") << QByteArray(":MEAS:SOUR CHAN1;PHAS?") << QByteArray("Hz");
    QTest::newRow("goodwill") << "GDS-2062" << QByteArray(":MEAS:SOURce1 CH1;:MEAS:FREQ?")
                              << QByteArray(":MEAS:SOURce1 CH1;:MEAS:RMS?") << QByteArray(":MEAS:SOURce1 CH2;:MEAS:RMS?")
                              << QByteArray(":MEAS:SOURce2 CH2;:MEAS:SOURce1 CH1;:MEAS:PHAS?") << QByteArray("kHz");
    QTest::newRow("rigol serial") << "DS1102E" << QByteArray(":MEAS:FREQ? CHAN1") << QByteArray(":MEAS:VRMS? CHAN1")
                                  << QByteArray(":MEAS:VRMS? CHAN2") << QByteArray() << QByteArray();
    QTest::newRow("rigol tcp") << "DS1000Z" << QByteArray(":MEAS:FREQ? CHAN1") << QByteArray(":MEAS:VRMS? CHAN1")
                               << QByteArray(":MEAS:VRMS? CHAN2") << QByteArray() << QByteArray();
    QTest::newRow("siglent") << "SDS1000X-E" << QByteArray("C1:PAVA? FREQ") << QByteArray("C1:PAVA? RMS")
                             << QByteArray("C2:PAVA? RMS") << QByteArray() << QByteArray("C1:PAVA FREQ,1.000E+03Hz");
}

void TestSim::measurementsFollowFilter()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, freq);
    QFETCH(QByteArray, ve);
    QFETCH(QByteArray, vs);
    QFETCH(QByteArray, phase);
    QFETCH(QByteArray, units);
    auto e = instrument(model, 1000);
    QVERIFY(e);
    const QByteArray f = ask(*e, freq);
    QVERIFY2(qAbs(value(f) - 1000) < 1, f.constData());
    if (!units.isEmpty())
        QVERIFY2(f.contains(units), f.constData());
    const double in = value(ask(*e, ve)), out = value(ask(*e, vs));
    QVERIFY2(qAbs(in - std::sqrt(0.5)) < 0.005, qPrintable(QString::number(in)));
    QVERIFY2(qAbs(out / in - std::sqrt(0.5)) < 0.005, qPrintable(QString::number(out / in)));
    if (!phase.isEmpty()) {
        const QByteArray p = ask(*e, phase);
        QVERIFY2(qAbs(value(p) + 45) < 0.5, p.constData());
    }
}

void TestSim::cannotMeasure_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("ch1");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    const QString sine = "sine,1,1000,0,0", flat = "sine,0,1000,0,0.3";
    QTest::newRow("agilent flat") << "54622D" << flat << QByteArray(":MEAS:SOUR CHAN1;FREQ?") << QByteArray("9.90000E+37");
    QTest::newRow("agilent flat phase") << "54622D" << flat << QByteArray(":MEAS:SOUR CHAN1;PHAS?") << QByteArray("9.90000E+37");
    QTest::newRow("flat still has a mean") << "54622D" << flat << QByteArray(":MEAS:SOUR CHAN1;VAV?") << QByteArray("3.00000E-01");
    QTest::newRow("one period on screen") << "54645A" << sine << QByteArray(":TIM:RANG 1.5E-3;:MEAS:SOUR CHAN1;FREQ?") << QByteArray("9.90000E+37");
    QTest::newRow("two periods on screen") << "54645A" << sine << QByteArray(":TIM:RANG 2E-3;:MEAS:SOUR CHAN1;PER?") << QByteArray("1.00000E-03");
    QTest::newRow("saturated") << "54622D" << sine << QByteArray(":CHAN1:RANG 1;:MEAS:SOUR CHAN1;VRMS?") << QByteArray("9.90000E+37");
    QTest::newRow("goodwill flat") << "GDS-2062" << flat << QByteArray(":MEAS:SOURce1 CH1;:MEAS:FREQ?") << QByteArray("CH1\r\n9.9E+37Hz");
    QTest::newRow("rigol serial flat") << "DS1102E" << flat << QByteArray(":MEAS:PER? CHAN1") << QByteArray("9.900E+37");
    QTest::newRow("rigol tcp flat") << "DS1000Z" << flat << QByteArray(":MEAS:FREQ? CHAN1") << QByteArray("9.900000e+37");
    QTest::newRow("siglent saturated") << "SDS1000X-E" << sine << QByteArray("C1:VDIV 0.1\nC1:PAVA? RMS") << QByteArray("C1:PAVA RMS,****");
}

void TestSim::cannotMeasure()
{
    QFETCH(QString, model);
    QFETCH(QString, ch1);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    auto e = instrument(model);
    QVERIFY(e);
    SimSignal s;
    QVERIFY(SimSignal::parse(ch1, s));
    e->model().setSignal(1, s);
    QCOMPARE(ask(*e, line), reply);
}

void TestSim::probeReplies_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("agilent") << "54622D" << QByteArray(":CHAN1:PROB?") << QByteArray("1.000E+00");
    QTest::newRow("agilent x10") << "54622D" << QByteArray(":CHAN2:PROB 10;:CHAN2:PROB?") << QByteArray("1.000E+01");
    QTest::newRow("hp") << "54645A" << QByteArray(":CHAN2:PROB?") << QByteArray("X1");
    QTest::newRow("hp x10") << "54645A" << QByteArray(":CHAN1:PROB X10;:CHAN1:PROB?") << QByteArray("X10");
    QTest::newRow("reset") << "54645A" << QByteArray(":CHAN1:PROB X10;*RST;:CHAN1:PROB?") << QByteArray("X1");
}

void TestSim::probeReplies()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    auto e = instrument(model);
    QCOMPARE(ask(*e, line), reply);
}

void TestSim::sweepParses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("at");      // seconds
    QTest::addColumn<double>("freq");    // -1: refused
    QTest::newRow("log middle") << "100:10000:60:log" << 30.0 << 1000.0;
    QTest::newRow("lin middle") << "100:10k:60:lin" << 30.0 << 5050.0;
    QTest::newRow("again from start") << "100:10000:60:log" << 60.0 << 100.0;
    QTest::newRow("steps hold") << "100:10000:60:log:3" << 39.0 << 1000.0;
    QTest::newRow("last step") << "100:10000:60:log:3" << 59.0 << 10000.0;
    QTest::newRow("too few fields") << "100:10000" << 0.0 << -1.0;
    QTest::newRow("zero stop") << "100:0:60" << 0.0 << -1.0;
    QTest::newRow("bad word") << "100:1000:10:cubic" << 0.0 << -1.0;
    QTest::newRow("one step") << "100:1000:10:log:1" << 0.0 << -1.0;
}

void TestSim::sweepParses()
{
    QFETCH(QString, text);
    QFETCH(double, at);
    QFETCH(double, freq);
    SimBalayage b;
    QCOMPARE(SimBalayage::parse(text, b), freq > 0);
    if (freq > 0)
        QVERIFY2(qAbs(b.frequenceA(at) / freq - 1) < 1e-9, qPrintable(QString::number(b.frequenceA(at))));
}

void TestSim::sweptGeneratorDrawsFilterCurve()
{
    // The generator sweeps 100 Hz to 10 kHz behind a 1 kHz filter, the time base follows:
    // every cycle of readings lies on the filter's gain and phase curve.
    double t = 0;
    auto e = instrument("54622D", 1000, &t);
    QVERIFY(SimBalayage::parse("100:10000:60:log", e->model().banc.balayage));
    e->model().banc.autoset = true;
    for (t = 0; t < 60; t += 7.5) {
        const double f = value(ask(*e, ":MEAS:SOUR CHAN1;FREQ?"));
        const double expected = 100 * std::pow(100.0, t / 60);
        QVERIFY2(qAbs(f / expected - 1) < 1e-3, qPrintable(QString("t=%1: %2").arg(t).arg(f)));
        const double g = value(ask(*e, ":MEAS:SOUR CHAN2;VRMS?")) / value(ask(*e, ":MEAS:SOUR CHAN1;VRMS?"));
        const double ph = value(ask(*e, ":MEAS:SOUR CHAN1;PHAS?"));
        QVERIFY2(qAbs(g - 1 / std::sqrt(1 + (f / 1000) * (f / 1000))) < 0.005, qPrintable(QString("f=%1: %2").arg(f).arg(g)));
        QVERIFY2(qAbs(ph + std::atan(f / 1000) * 180 / M_PI) < 0.5, qPrintable(QString("f=%1: %2").arg(f).arg(ph)));
        const double range = value(ask(*e, ":TIM:RANG?"));
        QVERIFY2(range * f >= 2.5 && range * f < 6.3, qPrintable(QString("f=%1: range %2").arg(f).arg(range)));
    }
}

void TestSim::bodeBlocksDecodeToFilter_data()
{
    // The blocks of the gain and phase reader: fixed 14-byte header (Sefram), or the counted
    // block with its sample period and four reserved bytes (GoodWill high byte first, FI low
    // byte first); 65 536 units over 8 divisions.
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("query");   // with the digit of the channel at the end replaced
    QTest::addColumn<bool>("counted");
    QTest::addColumn<bool>("highFirst");
    QTest::addColumn<double>("dt");          // expected sample period
    QTest::newRow("sefram") << "5150" << QByteArray(":ACQ%:POIN") << false << false << 20e-6;
    QTest::newRow("gds-820") << "GDS-820" << QByteArray(":ACQ%:MEM") << true << true << 20e-6;
    QTest::newRow("gds-1102") << "GDS-1102" << QByteArray(":ACQ%:MEM") << true << true << 20e-6;
    QTest::newRow("fi") << "FI3104" << QByteArray(":ACQ%:POIN") << true << false << 10e-6;
}

void TestSim::bodeBlocksDecodeToFilter()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, query);
    QFETCH(bool, counted);
    QFETCH(bool, highFirst);
    QFETCH(double, dt);
    auto e = instrument(model, 1000);
    if (auto *sefram = dynamic_cast<SimSeframModel *>(&e->model()))
        sefram->bode = true;
    QCOMPARE(ask(*e, ":CHAN1:DISP?;:CHAN2:DISP?"), QByteArray("ON\r\nON"));
    QCOMPARE(value(ask(*e, ":TIM:SCAL?")), 5e-4);
    QCOMPARE(value(ask(*e, ":CHAN2:SCAL?")), 1.0);
    double amplitude[2], phase[2];
    for (int n = 1; n <= 2; ++n) {
        const auto r = e->processLine(QByteArray(query).replace('%', QByteArray::number(n)));
        QCOMPARE(r.size(), size_t(1));
        const QByteArray b = r[0].bytes;
        qsizetype at = 14;
        double period = 20 * 5e-4 / 500;   // Sefram: two samples per 1/25 division, 500 of them
        if (counted) {
            QVERIFY(b.startsWith("#41000"));
            float p;
            std::memcpy(&p, b.constData() + 6, 4);   // least significant byte first, as this machine
            period = p;
            at = 6 + 8;
        } else {
            QCOMPARE(b.left(14), QByteArray("WV1008CH1 WORD"));
        }
        QCOMPARE(b.size(), at + 1000 + 2);
        QVERIFY(qAbs(period / dt - 1) < 1e-6);
        QList<double> v;
        for (int j = 0; j < 500; ++j) {
            const auto *u = reinterpret_cast<const uchar *>(b.constData() + at + 2 * j);
            v << qint16(highFirst ? (u[0] << 8 | u[1]) : (u[1] << 8 | u[0]));
        }
        fondamental(v, 500 * period * 1000, &amplitude[n - 1], &phase[n - 1]);
    }
    QVERIFY2(qAbs(amplitude[0] - 8192) < 10, qPrintable(QString::number(amplitude[0])));   // 1 V at 1 V/div
    QVERIFY2(qAbs(amplitude[1] / amplitude[0] - std::sqrt(0.5)) < 0.01, qPrintable(QString::number(amplitude[1] / amplitude[0])));
    QVERIFY2(qAbs(phase[1] - phase[0] + 45) < 1, qPrintable(QString::number(phase[1] - phase[0])));
}

void TestSim::bodeFaults_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("size");   // bytes of the reply, 0: none
    QTest::newRow("gds cut short") << "GDS-820" << "truncate" << QByteArray(":ACQ1:MEM") << 6 + 8 + 500;
    QTest::newRow("fi cut short") << "FI3104" << "truncate" << QByteArray(":ACQ2:POIN") << 6 + 8 + 500;
    QTest::newRow("sefram cut short") << "5150" << "truncate" << QByteArray(":ACQ1:POIN") << 14 + 500;
    QTest::newRow("gds channel off") << "GDS-1102" << "" << QByteArray(":CHAN2:DISP OFF;:ACQ2:MEM") << 0;
    QTest::newRow("fi channel off") << "FI3104" << "" << QByteArray(":CHAN1:DISP OFF;:ACQ1:POIN") << 0;
    QTest::newRow("sefram channel off") << "5150" << "" << QByteArray(":CHAN2:DISP OFF;:ACQ2:POIN") << 0;
}

void TestSim::bodeFaults()
{
    QFETCH(QString, model);
    QFETCH(QString, fault);
    QFETCH(QByteArray, line);
    QFETCH(int, size);
    auto e = instrument(model);
    if (auto *sefram = dynamic_cast<SimSeframModel *>(&e->model()))
        sefram->bode = true;
    SimFaults f;
    QVERIFY(f.add(fault));
    f.after = 0;
    e->setFaults(f);
    qsizetype got = 0;
    for (const SimReply &r : e->processLine(line))
        got += r.bytes.size();
    QCOMPARE(got, qsizetype(size));
}

void TestSim::rigolWaveformsShowPhase_data()
{
    QTest::addColumn<QString>("model");
    QTest::newRow("ds1000z") << "DS1000Z";
    QTest::newRow("siglent") << "SDS1000X-E";
}

void TestSim::rigolWaveformsShowPhase()
{
    // Over USB/VISA the program takes the phase from the two waveforms: CH2, through the
    // filter at its corner, lags CH1 by 45 degrees on them.
    QFETCH(QString, model);
    auto e = instrument(model, 1000);
    e->setTerminator("\n");
    auto &m = static_cast<SimRigolModel &>(e->model());
    const bool siglent = m.genre == SimRigolModel::SDS1000XE;
    double amplitude[2], phase[2];
    for (int n = 1; n <= 2; ++n) {
        const QByteArray b = ask(*e, siglent ? "C" + QByteArray::number(n) + ":WF? DAT2" : ":WAV:DATA? CHAN" + QByteArray::number(n));
        const qsizetype at = b.indexOf('#') + 11;
        QCOMPARE(b.size() - at, qsizetype(m.points));
        QList<double> v;
        for (int j = 0; j < m.points; ++j) {
            const uchar u = uchar(b[at + j]);
            v << (siglent ? double(qint8(u)) : 125.0 - u);
        }
        const double span = siglent ? 14 * m.tdiv : 12 * m.tdiv;
        fondamental(v, span * 1000, &amplitude[n - 1], &phase[n - 1]);
    }
    QVERIFY2(qAbs(amplitude[1] / amplitude[0] - std::sqrt(0.5)) < 0.02, qPrintable(QString::number(amplitude[1] / amplitude[0])));
    QVERIFY2(qAbs(phase[1] - phase[0] + 45) < 1, qPrintable(QString::number(phase[1] - phase[0])));
}

void TestSim::filterOptionEndToEnd()
{
    // The options reach the instrument: through the line of the serial simulator, and over
    // the socket of the Rigol/Siglent one.
    Sim sim({"--filtre", "1k", "--ch1", "sine,2,2000,0,0"});
    QVERIFY(sim.ok());
    const QByteArray r = sim.ask(":MEAS:SOUR CHAN2;VRMS?\n", 13);
    QVERIFY2(qAbs(value(r) - std::sqrt(2.0) / std::sqrt(5.0)) < 0.005, r.constData());

    QProcess rigol;
    rigol.start(ONDIVAR_SIM_RIGOL_EXE, {"--model", "DS1000Z", "--filtre", "1000", "--balayage", "1000:1000:10"});
    QVERIFY(rigol.waitForStarted(5000) && rigol.waitForReadyRead(5000));
    const QByteArray first = rigol.readLine().trimmed();
    QVERIFY2(first.startsWith("TCP 127.0.0.1:"), first.constData());
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, quint16(first.mid(14).toUInt()));
    QVERIFY(s.waitForConnected(3000));
    s.write(":MEAS:VRMS? CHAN2\n");
    QByteArray reply;
    while (!reply.endsWith('\n') && s.waitForReadyRead(3000))
        reply += s.readAll();
    QVERIFY2(qAbs(value(reply) - 0.5) < 0.005, reply.constData());
    rigol.kill();
    rigol.waitForFinished(3000);

    QProcess bad;
    bad.start(ONDIVAR_SIM_EXE, {"--balayage", "100:10000"});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY(bad.readAllStandardError().contains("--balayage"));
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
