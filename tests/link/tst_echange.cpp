#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portmap.h"
#include "link/portserie.h"
#include "link/ticktimer.h"

#include <QtTest>
#include <QTemporaryDir>
#include <cmath>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal whose master side plays the instrument.
struct Instrument {
    int master = -1;
    QString slave;
    Instrument()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        slave = QString::fromLatin1(ptsname(master));
        termios t;
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        fcntl(master, F_SETFL, O_NONBLOCK);
    }
    ~Instrument() { ::close(master); }
    void say(const QByteArray &b) { QVERIFY(::write(master, b.constData(), size_t(b.size())) == b.size()); }
    // Answers once the command has gone out (the exchange flushes first).
    void sayLater(const QByteArray &b, int ms = 15)
    {
        QTimer::singleShot(ms, [this, b] { say(b); });
    }
    QByteArray heard()
    {
        QByteArray all;
        char buf[256];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            all.append(buf, n);
        return all;
    }
};

class TestEchange : public QObject {
    Q_OBJECT
    std::unique_ptr<Instrument> inst;
    std::unique_ptr<TPortSerie> port;
    std::unique_ptr<TEchange> ech;
    qint64 fakeMs = 0;

private slots:
    void init()
    {
        inst = std::make_unique<Instrument>();
        qputenv("ONDIVAR_PORTS", ("1=" + inst->slave).toLatin1());
        port = std::make_unique<TPortSerie>();
        port->setComNumber(1);
        port->setOpen(true);
        ech = std::make_unique<TEchange>(*port);
    }
    void cleanup()
    {
        TickClock::setSource({});
        ech.reset();
        port.reset();
        inst.reset();
    }

    void parseNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("comma") << "12,5" << 12.5;
        QTest::newRow("point") << "12.5" << 12.5;
        QTest::newRow("spaces") << " 3 300 " << 3300.0;
        QTest::newRow("kilo") << "4.7k" << 4700.0;
        QTest::newRow("micro") << QString::fromUtf8("10µ") << 1e-5;
        QTest::newRow("exa") << "2E" << 2e18;
        QTest::newRow("exponent") << "1.25E-3" << 0.00125;
        QTest::newRow("Y is no prefix") << "5Y" << NaN();
        QTest::newRow("two marks") << "1,2.3" << NaN();
        QTest::newRow("empty") << "" << NaN();
    }
    void parseNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        for (const char *loc : {"C", "fr_FR"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(loc)));
            const double got = ParseNumber(text);
            if (std::isnan(value))
                QVERIFY2(std::isnan(got), loc);
            else
                QCOMPARE(got, value);
        }
        QLocale::setDefault(QLocale::c());
    }

    void replyLineRules()
    {
        inst->sayLater("1.25E-3\r\n");
        QCOMPARE(ech->GetFloat(":TIM:SCAL?"), 0.00125);
        QCOMPARE(inst->heard(), QByteArray(":TIM:SCAL?\n"));
        // The LF left waiting is flushed by the next call, and control bytes are dropped.
        QTest::qWait(50);
        inst->sayLater("AB\x01" "C\r\n");
        QCOMPARE(ech->GetString("*IDN?"), QByteArray("ABC"));
        // A LF too late for the flush (it comes after the next command) does not end that reply.
        QTest::qWait(50);
        inst->heard();
        inst->sayLater("\nDEF\r\n");
        QCOMPARE(ech->GetString(":TIM:SCAL?"), QByteArray("DEF"));
    }

    void readers_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("unite");
        QTest::addColumn<bool>("booleen");
        QTest::addColumn<int>("entier");
        QTest::newRow("kHz") << QByteArray("1.000kHz") << 1000.0 << true << -1;   // contains "1"
        QTest::newRow("mV") << QByteArray("20.0mV") << 0.02 << false << -1;
        QTest::newRow("us") << QByteArray("5.00us") << 5e-6 << false << -1;
        QTest::newRow("V") << QByteArray("3.5V") << 3.5 << false << -1;
        QTest::newRow("overflow") << QByteArray("9.9E+37V") << NaN() << false << -1;
        QTest::newRow("OFF") << QByteArray("OFF") << NaN() << false << -1;
        QTest::newRow("1") << QByteArray("1") << NaN() << true << 1;
        QTest::newRow("NONE") << QByteArray("NONE") << NaN() << true << -1;
        QTest::newRow("empty") << QByteArray("") << NaN() << false << -1;
    }
    void readers()
    {
        QFETCH(QByteArray, reply);
        QFETCH(double, unite);
        QFETCH(bool, booleen);
        QFETCH(int, entier);
        inst->sayLater(reply + "\r\n");
        const double u = ech->GetFloatUnite("Q?");
        if (std::isnan(unite))
            QVERIFY(std::isnan(u));
        else
            QCOMPARE(u, unite);
        inst->sayLater(reply + "\n");
        QCOMPARE(ech->GetBool("Q?"), booleen);
        inst->sayLater(reply + "\n");
        QCOMPARE(ech->GetInt("Q?", -1), entier);
    }

    void failures()
    {
        // Time-outs run on a clock the test drives: each reading moves it 20 ms on.
        TickClock::setSource([this] { return fakeMs += 20; });
        inst->sayLater("12", 0);   // bytes, but no terminator
        try {
            ech->GetString(":TIM:SCAL?");
            QFAIL("no error");
        } catch (const EserieError &e) {
            QCOMPARE(e.texte, QString::fromUtf8("Pas de réponse à : :TIM:SCAL?"));
        }
        try {
            ech->EnvoieCommandeRapide(":RUN");
            QFAIL("no error");
        } catch (const EserieError &e) {
            QCOMPARE(e.texte, QString::fromUtf8("Pas de réponse à :RUN au bout de 2 secondes"));
        }
        try {
            ech->GetIDN();
            QFAIL("no error");
        } catch (const EserieError &e) {
            QCOMPARE(e.texte, QString::fromUtf8("Pas de réponse à : *IDN?"));
        }
        QVERIFY(std::isnan(ech->GetFloat("X?")));
        ech->EnvoieCommandeLente(":DIG");   // a time-out is not an error
        QVERIFY(inst->heard().contains(":DIG;*OPC?\n"));
    }

    void stopFlag()
    {
        // The LF of an earlier CR LF, arriving after the flush, does not end the wait.
        inst->sayLater("\n", 5);
        QTimer::singleShot(60, [] { arretAcquisition = true; });
        try {
            ech->EnvoieCommandeLente(":DIG CHAN1");
            QFAIL("no error");
        } catch (const EserieError &e) {
            QCOMPARE(e.texte, QString::fromUtf8("Arrêt de l'acquisition par l'utilisateur"));
        }
    }

    void secondExchangeRefused()
    {
        bool refused = false;
        QTimer::singleShot(20, [&] {
            try {
                ech->GetString("B?");
            } catch (const EserieError &) {
                refused = true;
            }
        });
        QTimer::singleShot(80, [this] { inst->say("ok\n"); });
        QCOMPARE(ech->GetString("A?"), QByteArray("ok"));
        QVERIFY(refused);
        QCOMPARE(inst->heard(), QByteArray("A?\n"));
    }

    void traceFiles()
    {
        QTemporaryDir dir;
        const QString base = dir.path() + QStringLiteral("/ondivar-c");
        port->startTrace(base + ".trc", base + ".log");
        inst->sayLater("42\r\n");
        QCOMPARE(ech->GetInt(":ACQ:POINTS?", 0), 42);
        port->setOpen(false);   // closing while recording writes both files
        QFile log(base + ".log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.contains("Commande=:ACQ:POINTS?\nreponse=42\n42\n"));
        QFile trc(base + ".trc");
        QVERIFY(trc.open(QIODevice::ReadOnly));
        QVERIFY(trc.readAll().contains(":ACQ:POINTS?"));
    }

    // The emulated handshake: DTR drops when 3072 bytes wait unread, rises again once the
    // program has read them down to 1280; with DSR required nothing is sent while it is low.
    void handshakeThresholds()
    {
        port->setHWFlowOptions(hwfUseDTR | hwfRequireDSR);
        QVERIFY(port->dtrAsserted());
        inst->say(QByteArray(3000, 'x'));
        QTest::qWait(50);
        port->ProcessCommunications();
        QVERIFY(port->dtrAsserted());
        inst->say(QByteArray(100, 'y'));
        QTRY_VERIFY((port->ProcessCommunications(), !port->dtrAsserted()));
        QCOMPARE(port->waiting(), 3100);
        while (port->waiting() > 1281)
            port->GetChar();
        QVERIFY(!port->dtrAsserted());
        port->GetChar();
        QVERIFY(port->dtrAsserted());
        // A pseudo-terminal never raises DSR: the bytes wait, and go once DSR is no longer needed.
        port->PutString("*IDN?\n");
        QTest::qWait(50);
        QCOMPARE(inst->heard(), QByteArray());
        port->setHWFlowOptions(0);
        QByteArray got;   // read as it comes: a retried check must not lose bytes
        QTRY_COMPARE(got += inst->heard(), QByteArray("*IDN?\n"));
    }

    void alreadyOpen()
    {
        TPortSerie other;
        other.setComNumber(1);
        QVERIFY_THROWS_EXCEPTION(EAlreadyOpen, other.setOpen(true));
        QVERIFY(TPortSerie::PortPresent(1));
        QVERIFY(!TPortSerie::PortPresent(2));
    }

    void portMapEnvironment()
    {
        const auto m = PortMap::parseEnvironment("1=/dev/pts/4; COM3=/dev/ttyUSB0;bad;99=/x");
        QCOMPARE(m.size(), 2);
        QCOMPARE(m.value(1), QString("/dev/pts/4"));
        QCOMPARE(m.value(3), QString("/dev/ttyUSB0"));
    }
};

QTEST_MAIN(TestEchange)
#include "tst_echange.moc"
