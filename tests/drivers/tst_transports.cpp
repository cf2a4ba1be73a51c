// The USB and VISA transports: device list, resource search, opening rules, reply reads
// and their limits, over the simulator's USBTMC stand-ins and sockets.
#include "drivers/pilotes.h"
#include "drivers/usbtmc.h"
#include "drivers/visa.h"
#include "link/ticktimer.h"
#include "measure/unites.h"
#include "simrigol_client.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A socket instrument that answers each line with a fixed text (nothing for an empty one).
class InstrumentFixe : public QObject {
public:
    explicit InstrumentFixe(QByteArray reponse) : reponse_(std::move(reponse))
    {
        serveur_.listen(QHostAddress::LocalHost);
        connect(&serveur_, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *s = serveur_.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [this, s] {
                const QByteArray recu = s->readAll();
                for (qsizetype k = 0; k < recu.count('\n'); ++k)
                    if (!reponse_.isEmpty())
                        s->write(reponse_);
            });
        });
    }
    QString ressource() const { return QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(serveur_.serverPort()); }

private:
    QByteArray reponse_;
    QTcpServer serveur_;
};

// Keeps the messages shown to the user.
class DialogueNote : public IDialogue {
public:
    bool confirm(const QString &m) override { messages << m; return false; }
    void inform(const QString &m) override { messages << m; }
    QStringList messages;
};

QByteArray contenu(const QString &fichier)
{
    QFile f(fichier);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestTransports : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("ONDIVAR_USBTMC_DIR", (dir->path() + "/dev").toLocal8Bit());
        qputenv("ONDIVAR_CONFIG", (dir->path() + "/Ondivar.ini").toLocal8Bit());
        qunsetenv("ONDIVAR_VISA");
        setDelaiUSB(2000);
    }
    void cleanup()
    {
        TickClock::setSource({});
        FermeUSB();
        dir.reset();
    }

    void correspondance_data()
    {
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("attendu");
        QTest::newRow("usb") << "USB0::0x1AB1::0x04CE::DS1ZA1::INSTR" << "USB?*" << true;
        QTest::newRow("case") << "usb0::0x1ab1::0x04ce::X::INSTR" << "USB?*" << true;
        QTest::newRow("socket is not usb") << "TCPIP0::h::5555::SOCKET" << "USB?*" << false;
        QTest::newRow("? needs one") << "USB" << "USB?*" << false;
        QTest::newRow("dot is literal") << "TCPIP0::hxb::1::SOCKET" << "TCPIP0::h.b::1::SOCKET" << false;
        // Many "*" must not make the matcher give up (a backtracking one hits its limit).
        const QString etoiles = QString(15, '*') + "a" + QString(20, '*') + "bc";
        QTest::newRow("many stars, itself") << etoiles << etoiles << true;
        QTest::newRow("many stars, no match") << QString(200, 'a') << QString(40, '*') + "b" << false;
        QTest::newRow("star then literal") << "USB0::X::INSTR" << "*::INSTR" << true;
        QTest::newRow("star backtracks") << "ab::ab::c" << "*ab::c" << true;
    }
    void correspondance()
    {
        QFETCH(QString, nom);
        QFETCH(QString, expression);
        QFETCH(bool, attendu);
        QCOMPARE(TRigolVisa::correspond(nom, expression), attendu);
    }

    // No device file, no socket resource: both transports report no instrument.
    void aucunInstrument()
    {
        QVERIFY(!RigolUSBDisponible());
        QCOMPARE(GetDeviceNum(), 0);
        int n = -1;
        char b[52];
        QCOMPARE(WriteUSB(0, 1, 0, 5, "*IDN?"), 0);
        QCOMPARE(ReadUSB(0, &n, b, sizeof b), 0);
        QCOMPARE(n, 0);
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(!v.open());
        QVERIFY(v.nomVisaCom().isEmpty());
        QByteArray r = "x";
        QCOMPARE(v.get_response(r), 0);
        QVERIFY(r.isEmpty());
        QVERIFY(!v.send("*IDN?"));
    }

    // USB names come from the stand-ins' sysfs files, in the order of their numbers, then the
    // well-formed socket resources of the settings and of ONDIVAR_VISA.
    void ressources()
    {
        SimRigol z({"--model", "DS1000Z", "--index", "3"}, qEnvironmentVariable("ONDIVAR_USBTMC_DIR"));
        SimRigol s({"--model", "SDS1000X-E", "--index", "1"}, qEnvironmentVariable("ONDIVAR_USBTMC_DIR"));
        QVERIFY(z.ok() && s.ok());
        {
            QFile ini(qEnvironmentVariable("ONDIVAR_CONFIG"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Visa]\nRessources=\"TCPIP0::192.168.1.20::5555::SOCKET;pas une ressource;TCPIP0::h::99999::SOCKET\"\n");
        }
        qputenv("ONDIVAR_VISA", "TCPIP::scope-2.lab::5025::SOCKET, TCPIP0::192.168.1.20::5555::SOCKET");
        const QStringList attendu = {
            "USB0::0xF4EC::0xEE38::SDSMMEBD2R1234::INSTR",
            "USB0::0x1AB1::0x04CE::DS1ZA000000001::INSTR",
            "TCPIP0::192.168.1.20::5555::SOCKET",
            "TCPIP::scope-2.lab::5025::SOCKET",
        };
        QCOMPARE(TRigolVisa::chercheRessources("?*"), attendu);
        QCOMPARE(TRigolVisa::chercheRessources("USB?*"), attendu.mid(0, 2));
        QVERIFY(RigolUSBDisponible());
        QCOMPARE(GetDeviceNum(), 1);   // the Siglent is not one of the maker's USB instruments
    }

    // Of several USB resources the first is opened; the others hear nothing.
    void premierOuvert()
    {
        const QString d = qEnvironmentVariable("ONDIVAR_USBTMC_DIR");
        const QString log2 = dir->path() + "/second.log";
        SimRigol premier({"--model", "DS1000Z", "--index", "0"}, d);
        SimRigol second({"--model", "DS1000E", "--index", "1", "--echo-log", log2}, d);
        QVERIFY(premier.ok() && second.ok());
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(v.open());
        QCOMPARE(v.nomsVisaCom().size(), 2);
        QCOMPARE(v.nomVisaCom(), QString("USB0::0x1AB1::0x04CE::DS1ZA000000001::INSTR"));
        QCOMPARE(v.identificateur, QByteArray("RIGOL TECHNOLOGIES,DS1104Z,DS1ZA000000001,00.04.04.SP4"));
        QVERIFY(!v.isSIGLENT);
        QVERIFY(v.finDeMessageConnue());
        QByteArray r;
        v.getString(":TIM:SCAL?", r);
        QCOMPARE(r, QByteArray("1.000000e-03"));
        v.setOpen(false);
        QVERIFY(!v.open());
        QVERIFY(contenu(log2).isEmpty());
    }

    // The maker's name in any letter case; a Siglent keeps its reply headers.
    void siglent_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<QString>("idn");
        QTest::addColumn<bool>("siglent");
        QTest::newRow("mixed case") << "SDS1000X-E" << "Siglent Technologies,SDS1202X-E,SDS1,8.2" << true;
        QTest::newRow("capitals") << "SDS1000X-E" << "SIGLENT TECHNOLOGIES,SDS1104X-E,SDS2,7.6" << true;
        QTest::newRow("rigol") << "DS1000Z" << "RIGOL TECHNOLOGIES,DS1054Z,DS1Z,00.04" << false;
    }
    void siglent()
    {
        QFETCH(QString, modele);
        QFETCH(QString, idn);
        QFETCH(bool, siglent);
        SimRigol sim({"--model", modele, "--idn", idn});
        QVERIFY(sim.ok());
        qputenv("ONDIVAR_VISA", sim.ressource.toLatin1());
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(v.open());
        QCOMPARE(v.nomVisaCom(), sim.ressource);
        QCOMPARE(v.identificateur, idn.toLatin1());
        QCOMPARE(v.isSIGLENT, siglent);
        QVERIFY(!v.finDeMessageConnue());
        if (siglent) {
            // Its header setting is the user's: opening leaves it as it was.
            QByteArray r;
            v.getString("CHDR?", r);
            QCOMPARE(r, QByteArray("CHDR SHORT"));
            v.getString("C1:VDIV?", r);
            QCOMPARE(r, QByteArray("C1:VDIV 5.00E-01V"));
        }
    }

    // getString drops one final line feed, no more. On a socket a reply ends at its first
    // line feed (what follows is dropped before the next command).
    void finDeLigne_data()
    {
        QTest::addColumn<QByteArray>("reponse");
        QTest::addColumn<QByteArray>("attendu");
        QTest::newRow("one LF") << QByteArray("1\n") << QByteArray("1");
        QTest::newRow("two LF") << QByteArray("x\n\n") << QByteArray("x");
        QTest::newRow("CR LF") << QByteArray("ok\r\n") << QByteArray("ok\r");
    }
    void finDeLigne()
    {
        QFETCH(QByteArray, reponse);
        QFETCH(QByteArray, attendu);
        InstrumentFixe inst(reponse);
        qputenv("ONDIVAR_VISA", inst.ressource().toLatin1());
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(v.open());
        QByteArray r;
        v.getString("Q?", r);
        QCOMPARE(r, attendu);
        QCOMPARE(v.buf, attendu);
    }

    // A socket has no end-of-message mark: a reply that ended only where the instrument
    // fell silent (to keep the first of two line feeds) would cost the whole time-out on
    // every query. It ends at its line feed, and the stray second one is not taken for
    // the next reply.
    void reponseSocketSansAttente()
    {
        InstrumentFixe inst("1\n\n");
        qputenv("ONDIVAR_VISA", inst.ressource().toLatin1());
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(v.open());
        qint64 faux = 0;
        TickClock::setSource([&faux] { return ++faux; });
        for (int k = 0; k < 2; ++k) {
            const qint64 avant = faux;
            QByteArray r;
            v.getString("*OPC?", r);
            QCOMPARE(r, QByteArray("1"));
            QVERIFY2(faux - avant < v.delai() / 4, qPrintable(QString::number(faux - avant)));
        }
    }

    // Over USB a reply is one message: of two final line feeds the first stays.
    void finDeLigneUSB()
    {
        SimRigol sim({"--model", "DS1000Z", "--idn", "RIGOL X\n"}, qEnvironmentVariable("ONDIVAR_USBTMC_DIR"));
        QVERIFY(sim.ok());
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(v.open());
        QCOMPARE(v.identificateur, QByteArray("RIGOL X\n"));
        QByteArray r;
        v.getString("*OPC?", r);
        QCOMPARE(r, QByteArray("1"));
    }

    // Something that takes the connection but never answers is no instrument; a reply
    // that never comes reads as nothing once the time-out is over.
    void silence()
    {
        qint64 faux = 0;
        TickClock::setSource([&faux] { return faux += 25; });
        InstrumentFixe muet{QByteArray()};
        qputenv("ONDIVAR_VISA", muet.ressource().toLatin1());
        TRigolVisa v;
        v.setOpen(true);
        QVERIFY(!v.open());

        qputenv("ONDIVAR_VISA", "TCPIP0::127.0.0.1::1::SOCKET");   // nobody listens there
        v.setOpen(true);
        QVERIFY(!v.open());

        SimRigol sim({"--model", "DS1000Z", "--fault", "silence", "--fault-after", "2"});
        QVERIFY(sim.ok());
        qputenv("ONDIVAR_VISA", sim.ressource.toLatin1());
        v.setOpen(true);
        QVERIFY(v.open());
        QByteArray r = "x";
        v.getString(":TIM:SCAL?", r);
        QVERIFY(r.isEmpty());
        QCOMPARE(v.get_WavData(r), 0);
    }

    // A USB reply longer than the 52-byte buffer fills it and no more; the rest does not
    // pass for the next reply.
    void reponseUSBBornee()
    {
        const QByteArray idn = "RIGOL TECHNOLOGIES,DS1102E,DS1EB104702974,00.04.01.00.02,PLUS-UN-CHAMP-DE-TRENTE";
        SimRigol sim({"--model", "DS1000E", "--idn", idn}, qEnvironmentVariable("ONDIVAR_USBTMC_DIR"));
        QVERIFY(sim.ok());
        QCOMPARE(GetDeviceNum(), 1);
        for (int tour = 0; tour < 2; ++tour) {
            QVERIFY(WriteUSB(0, 1, 2 * tour, 5, "*IDN?"));
            QVERIFY(WriteUSB(0, 2, 2 * tour + 1, 0, "\0"));
            char b[64];
            std::memset(b, '#', sizeof b);
            int n = 0;
            bool fin = true;
            QVERIFY(ReadUSB(0, &n, b, 52, &fin));
            QCOMPARE(n, 52);
            QVERIFY(!fin);
            QCOMPARE(QByteArray(b, 52), idn.left(52));
            QCOMPARE(QByteArray(b + 52, 12), QByteArray(12, '#'));
        }
        QVERIFY(WriteUSB(0, 1, 4, 10, ":TIM:SCAL?"));
        char b[52];
        int n = 0;
        bool fin = false;
        QVERIFY(ReadUSB(0, &n, b, sizeof b, &fin));
        QCOMPARE(QByteArray(b, n), QByteArray("1.000e-03\n"));
        QVERIFY(fin);
    }

    // A USBTMC device the user may not open is not "no instrument": the search says so and
    // names the group and the command that give access; one the user may open says nothing.
    void accesRefuse_data()
    {
        QTest::addColumn<bool>("permis");
        QTest::newRow("refused") << false;
        QTest::newRow("allowed") << true;
    }
    void accesRefuse()
    {
        QFETCH(bool, permis);
        const QString d = qEnvironmentVariable("ONDIVAR_USBTMC_DIR");
        QVERIFY(QDir().mkpath(d));
        const QString chemin = d + "/usbtmc0";
        {
            QFile f(chemin);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        // Root opens everything: the search then runs as another user, who may enter the
        // folders but may not open a file of mode 600.
        const bool root = ::geteuid() == 0;
        QVERIFY(::chmod(QFile::encodeName(chemin).constData(), permis ? 0666 : (root ? 0600 : 0000)) == 0);
        if (root)
            for (const QString &c : {dir->path(), d})
                QVERIFY(::chmod(QFile::encodeName(c).constData(), 0755) == 0);
        DialogueNote note;
        TDialogueTemporaire installe(&note);
        CreePilotesRigol();
        QString ident;
        bool siglent = false;
        if (root)
            QVERIFY(::seteuid(65534) == 0);
        const bool trouve = RechercheRigolVisa(ident, siglent);
        const QString message = MessageAccesUSBTMC(chemin);
        if (root)
            QVERIFY(::seteuid(0) == 0);
        LiberePilotesRigol();
        QVERIFY(!trouve);
        if (permis) {
            QVERIFY(message.isEmpty());
            QVERIFY2(note.messages.isEmpty(), qPrintable(note.messages.join('\n')));
            return;
        }
        QCOMPARE(note.messages.size(), 1);
        QCOMPARE(note.messages.first(), message);
        QVERIFY(message.startsWith("Accès refusé à " + chemin));
        QVERIFY(message.contains("« plugdev »"));
        QVERIFY(message.contains("sudo adduser $USER plugdev"));
        QVERIFY(message.contains("docs/rigol-visa.md"));
    }

    // A stand-in that goes away mid-reply reads as a failure, not as a hang.
    void peripheriqueDisparu()
    {
        setDelaiUSB(500);
        SimRigol sim({"--model", "DS1000Z", "--fault", "drop"}, qEnvironmentVariable("ONDIVAR_USBTMC_DIR"));
        QVERIFY(sim.ok());
        QCOMPARE(GetDeviceNum(), 1);
        QVERIFY(WriteUSB(0, 1, 0, 16, ":WAV:DATA? CHAN1"));
        char b[1024];
        int n = 0, total = 0, tours = 0;
        while (ReadUSB(0, &n, b, sizeof b) && ++tours < 10)
            total += n;
        QVERIFY(total < 1200);
        QVERIFY(sim.proc.waitForFinished(3000));
        QCOMPARE(GetDeviceNum(), 0);
        QCOMPARE(WriteUSB(0, 1, 1, 5, "*IDN?"), 0);
    }
};

QTEST_MAIN(TestTransports)
#include "tst_transports.moc"
