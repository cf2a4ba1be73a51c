#include "link/echange.h"
#include "link/parsenumber.h"
#include "link/portmap.h"
#include "link/portserie.h"
#include "link/ticktimer.h"

#include <QtTest>
#include <QTemporaryDir>
#include <cmath>
#include <fcntl.h>
#include <sys/wait.h>
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
        // The number format reads these, but they are no numbers for the program.
        for (const char *t : {"INF", "inf", "-INF", "+Inf", "infinity", "INFINITY", "nan", "NaN", "-NAN", "1e400"})
            QTest::newRow(t) << QString::fromLatin1(t) << NaN();
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
        inst->sayLater("AB\x01" "C\r");
        QCOMPARE(ech->GetString("*IDN?"), QByteArray("ABC"));
        // The LF of that CR, too late for the flush (it comes after the next command), does
        // not end that reply.
        QTest::qWait(50);
        inst->heard();
        inst->sayLater("\nDEF\r\n");
        QCOMPARE(ech->GetString(":TIM:SCAL?"), QByteArray("DEF"));
    }

    // A reply that is a line end alone completes at once as an empty reply; only the LF of
    // the previous reply's CR LF, arriving after the next command went out, is skipped.
    void emptyReply_data()
    {
        QTest::addColumn<QByteArray>("avant");    // the previous reply ("": none)
        QTest::addColumn<QByteArray>("reponse");
        QTest::addColumn<QByteArray>("texte");
        QTest::newRow("LF alone, first reply") << QByteArray() << QByteArray("\n") << QByteArray();
        QTest::newRow("LF alone after a CR LF flushed") << QByteArray("1\r\n") << QByteArray("\n") << QByteArray();
        QTest::newRow("LF alone after a LF reply") << QByteArray("1\n") << QByteArray("\n") << QByteArray();
        QTest::newRow("late LF, then LF alone") << QByteArray("1\r") << QByteArray("\n\n") << QByteArray();
        QTest::newRow("late LF, then text") << QByteArray("1\r") << QByteArray("\nAB\r\n") << QByteArray("AB");
    }
    void emptyReply()
    {
        QFETCH(QByteArray, avant);
        QFETCH(QByteArray, reponse);
        QFETCH(QByteArray, texte);
        QTemporaryDir dir;
        port->startTrace(dir.filePath("t.trc"), dir.filePath("t.log"));
        // Each reader in turn after the same previous reply; a completed reply is logged.
        for (int lecteur = 0; lecteur < 3; ++lecteur) {
            if (!avant.isEmpty()) {
                inst->sayLater(avant);
                QCOMPARE(ech->GetString("P?"), QByteArray("1"));
                if (avant.endsWith('\n'))
                    QTest::qWait(30);   // the whole line is in before the next command
            }
            inst->sayLater(reponse);
            if (lecteur == 0)
                QCOMPARE(ech->GetString("Q?"), texte);
            else if (lecteur == 1)
                QCOMPARE(ech->GetBool("Q?"), false);
            else
                QCOMPARE(ech->GetInt("Q?", -7), -7);
            QCOMPARE(port->logEntries().count(QStringLiteral("reponse=") + QString::fromLatin1(texte)), lecteur + 1);
        }
    }

    // The far end of the line closes while a reply is awaited: the wait ends at once with
    // the port's reason, not with the time-out of a silent instrument.
    void lineClosedDuringWait_data()
    {
        QTest::addColumn<bool>("lente");
        QTest::newRow("GetString") << false;
        QTest::newRow("EnvoieCommandeLente") << true;
    }
    void lineClosedDuringWait()
    {
        QFETCH(bool, lente);
        QTimer::singleShot(50, [this] {
            ::close(inst->master);
            inst->master = -1;
        });
        try {
            if (lente)
                ech->EnvoieCommandeLente(":DIG CHAN1");
            else
                ech->GetString(":TIM:SCAL?");
            QFAIL("no error");
        } catch (const EserieError &e) {
            QFAIL(qPrintable(e.texte));
        } catch (const EPortError &e) {
            QVERIFY2(e.texte.contains(QString::fromUtf8("COM1")) && e.texte.contains(QString::fromUtf8("coupée")),
                     qPrintable(e.texte));
        }
        QVERIFY(!port->Open());
        // The next exchange says the same, without waiting.
        QVERIFY_THROWS_EXCEPTION(EPortError, ech->GetString("*IDN?"));
        QCOMPARE(port->raisonPerte().contains(QString::fromUtf8("coupée")), true);
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
        QTest::newRow("1") << QByteArray("1") << 1.0 << true << 1;
        QTest::newRow("Hz, no prefix") << QByteArray("1.000E+03Hz") << 1000.0 << true << -1;
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

    // Scale replies read the same with or without their unit.
    void nombreUnite_data()
    {
        QTest::addColumn<QByteArray>("reponse");
        QTest::addColumn<double>("valeur");
        QTest::newRow("time, unit") << QByteArray("2.500E-04s\r\n") << 2.5e-4;
        QTest::newRow("time, no unit") << QByteArray("2.500E-04") << 2.5e-4;
        QTest::newRow("time, prefix and unit") << QByteArray("250us") << 2.5e-4;
        QTest::newRow("volts, unit") << QByteArray("1.000E+00V") << 1.0;
        QTest::newRow("volts, no unit") << QByteArray("1.000E+00") << 1.0;
        QTest::newRow("millivolts") << QByteArray("500mV") << 0.5;
    }
    void nombreUnite()
    {
        QFETCH(QByteArray, reponse);
        QFETCH(double, valeur);
        QCOMPARE(LitNombreUnite(reponse), valeur);
        QVERIFY(std::isnan(LitNombreUnite("V")));
        QVERIFY(std::isnan(LitNombreUnite("")));
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
        inst->sayLater("1\r");
        QCOMPARE(ech->GetString("A?"), QByteArray("1"));
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

    // Only terminal devices are ports: a device in use or one the account may not open
    // counts, a path that is no terminal does not.
    void portPresent()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("fichier"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        qputenv("ONDIVAR_PORTS", ("1=" + inst->slave + ";2=/dev/null;3=" + f.fileName() + ";4=" + dir.path()
                                  + ";5=" + dir.filePath("absent")).toLatin1());
        QVERIFY(TPortSerie::PortPresent(1));   // held by the fixture's port: in use
        port->setOpen(false);
        QVERIFY(TPortSerie::PortPresent(1));   // free
        for (int n = 2; n <= 6; ++n)
            QVERIFY2(!TPortSerie::PortPresent(n), qPrintable(PortMap::devicePath(n)));

        // Without the right to open it (root may open everything: the check runs in a child
        // under another account).
        QVERIFY(QFile::setPermissions(f.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        auto sansDroits = [&]() -> int {
            int rc = 0;
            if (!TPortSerie::PortPresent(1)) rc |= 1;
            if (TPortSerie::PortPresent(3)) rc |= 2;
            TPortSerie p;
            p.setComNumber(1);
            try {
                p.setOpen(true);
                rc |= 4;
            } catch (const EAccesRefuse &e) {
                if (!e.texte.contains(QStringLiteral("(sudo adduser $USER "))
                    || !e.texte.contains(QStringLiteral(", puis se reconnecter)")))
                    rc |= 8;
            } catch (const EPortError &) {
                rc |= 16;
            }
            return rc;
        };
        if (::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(inst->slave, QFileDevice::Permissions()));
            QCOMPARE(sansDroits(), 0);
            return;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(64);
            ::_exit(sansDroits());
        }
        int statut = 0;
        QCOMPARE(::waitpid(pid, &statut, 0), pid);
        QVERIFY(WIFEXITED(statut));
        QCOMPARE(WEXITSTATUS(statut), 0);
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
