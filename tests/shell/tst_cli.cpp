// ondivar-cli detect against the simulated instruments of every maker.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;

    // Starts a simulator and answers its first line (where it serves).
    static QByteArray demarre(QProcess &p, const QString &exe, const QStringList &args)
    {
        p.start(exe, args);
        if (!p.waitForStarted() || !p.waitForReadyRead(5000))
            return {};
        return p.readLine().trimmed();
    }
    static void arrete(QProcess &p)
    {
        p.terminate();
        if (!p.waitForFinished(2000)) {
            p.kill();
            p.waitForFinished();
        }
    }
    QProcessEnvironment environnement(const QString &ports, const QString &visa = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ONDIVAR_CONFIG"), dossier.filePath(QStringLiteral("Ondivar.ini")));
        env.insert(QStringLiteral("ONDIVAR_PORTS"), ports);
        env.insert(QStringLiteral("ONDIVAR_USBTMC_DIR"), dossier.filePath(QStringLiteral("sans-usb")));
        env.insert(QStringLiteral("ONDIVAR_VISA"), visa);
        env.insert(QStringLiteral("HOME"), dossier.path());
        return env;
    }
    static void detecte(const QProcessEnvironment &env, int &code, QByteArray &sortie, QByteArray &erreurs)
    {
        QProcess cli;
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(ONDIVAR_CLI_EXE), {QStringLiteral("detect")});
        QVERIFY(cli.waitForFinished(30000));
        code = cli.exitCode();
        sortie = cli.readAllStandardOutput();
        erreurs = cli.readAllStandardError();
    }

private slots:
    void serie_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<QByteArray>("attendu");
        QTest::newRow("Agilent") << "54622D"
                                 << QByteArray("constructeur=oAgilent\nIdentiteScope=AGILENT TECHNOLOGIES,54622D,"
                                               "MY40000123,A.02.30\nmodeleGDS=0\nconnect=cVect\n");
        QTest::newRow("HP 54600A") << "54600A" << QByteArray("constructeur=oHewlett\n");
        QTest::newRow("Sefram") << "5150" << QByteArray("constructeur=oSefram\n");
        QTest::newRow("GDS-820") << "GDS-820" << QByteArray("constructeur=oGoodWill\n");
        QTest::newRow("GDS-1102") << "GDS-1102" << QByteArray("modeleGDS=1\n");
        QTest::newRow("GDS-2062") << "GDS-2062" << QByteArray("modeleGDS=2\n");
        QTest::newRow("Rigol serial") << "DS1102E"
                                      << QByteArray("constructeur=oRigol\nIdentiteScope=RIGOL TECHNOLOGIES,DS1102E\n");
        QTest::newRow("FI") << "FI3104" << QByteArray("constructeur=oFI\nIdentiteScope=FI3104,");
    }
    void serie()
    {
        QFETCH(QString, modele);
        QFETCH(QByteArray, attendu);
        QProcess sim;
        const QByteArray ligne = demarre(sim, QStringLiteral(ONDIVAR_SIM_EXE), {QStringLiteral("--model"), modele});
        QVERIFY(ligne.startsWith("PTY "));
        int code = -1;
        QByteArray sortie, erreurs;
        detecte(environnement(QStringLiteral("1=") + QString::fromLatin1(ligne.mid(4))), code, sortie, erreurs);
        arrete(sim);
        QCOMPARE(code, 0);
        QVERIFY2(sortie.contains(attendu), sortie.constData());
        QCOMPARE(sortie.count('\n'), 4);
    }

    void echecs_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<QString>("message");
        QTest::newRow("unrecognised") << "TDS210"
                                      << "Oscillo non branché ou non reconnu ; cliquer sur \"Voie série\"";
        QTest::newRow("held by another program") << "busy" << "Problème voie série COM1";
        QTest::newRow("nothing at all") << "" << "Aucun oscilloscope détecté";
    }
    void echecs()
    {
        QFETCH(QString, modele);
        QProcess sim;
        QString ports = QStringLiteral("1=/dev/absent-ondivar");
        if (!modele.isEmpty()) {
            const QByteArray ligne = demarre(sim, QStringLiteral(ONDIVAR_SIM_EXE), {QStringLiteral("--model"), modele});
            QVERIFY(ligne.startsWith("PTY "));
            ports = QStringLiteral("1=") + QString::fromLatin1(ligne.mid(4));
        }
        int code = -1;
        QByteArray sortie, erreurs;
        detecte(environnement(ports), code, sortie, erreurs);
        if (!modele.isEmpty())
            arrete(sim);
        QCOMPARE(code, 1);
        QVERIFY(sortie.isEmpty());
        QFETCH(QString, message);
        QVERIFY2(QString::fromUtf8(erreurs).contains(message), erreurs.constData());
        QVERIFY(QString::fromUtf8(erreurs).trimmed().endsWith(QStringLiteral("Aucun oscilloscope détecté")));
    }

    void visa_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<QByteArray>("attendu");
        QTest::newRow("Rigol DS1000Z") << "DS1000Z" << QByteArray("constructeur=oRigolVisa\n");
        QTest::newRow("Siglent") << "SDS1000X-E" << QByteArray("constructeur=oSiglent\n");
    }
    void visa()
    {
        QFETCH(QString, modele);
        QProcess sim;
        const QByteArray ligne = demarre(sim, QStringLiteral(ONDIVAR_SIM_RIGOL_EXE), {QStringLiteral("--model"), modele});
        QVERIFY(ligne.startsWith("TCP "));
        const QList<QByteArray> hp = ligne.mid(4).split(':');
        const QString ressource = QStringLiteral("TCPIP0::%1::%2::SOCKET").arg(QString::fromLatin1(hp.value(0)),
                                                                           QString::fromLatin1(hp.value(1)));
        int code = -1;
        QByteArray sortie, erreurs;
        detecte(environnement(QStringLiteral("1=/dev/absent-ondivar"), ressource), code, sortie, erreurs);
        arrete(sim);
        QCOMPARE(code, 0);
        QFETCH(QByteArray, attendu);
        QVERIFY2(sortie.startsWith(attendu), sortie.constData());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
