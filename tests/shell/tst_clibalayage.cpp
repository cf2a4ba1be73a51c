// ondivar-cli balayage end to end: the simulated oscilloscope and generator with the 1 kHz
// filter between them; a whole sweep in each mode, Ctrl+C in the middle, a generator that
// goes silent, and the usage errors. Stop and failures keep the points measured, in the file.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cmath>

class TstCliBalayage : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    QProcess sim;
    QString ports, generateur;

    bool demarreSim(const QStringList &args)
    {
        sim.start(QStringLiteral(ONDIVAR_SIM_EXE),
                  QStringList{"--baud", "230400", "--filtre", "1000", "--ch1", "sine,1,50,0,0"} + args);
        if (!sim.waitForStarted(5000))
            return false;
        QString pty;
        generateur.clear();
        while (generateur.isEmpty() && sim.waitForReadyRead(5000))
            while (sim.canReadLine()) {
                const QByteArray l = sim.readLine().trimmed();
                if (l.startsWith("GEN "))
                    generateur = QString::fromLatin1(l.mid(4));
                else if (l.startsWith("PTY "))
                    pty = QString::fromLatin1(l.mid(4));
            }
        ports = "1=" + pty;
        if (!generateur.startsWith(QLatin1String("TCPIP"))) {
            ports += ";2=" + generateur;
            generateur = QStringLiteral("COM2");
        }
        return !pty.isEmpty() && !generateur.isEmpty();
    }
    void lance(QProcess &cli, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ONDIVAR_CONFIG", dossier.filePath("Ondivar.ini"));
        env.insert("ONDIVAR_PORTS", ports);
        env.insert("ONDIVAR_USBTMC_DIR", dossier.filePath("sans-usb"));
        env.insert("ONDIVAR_VISA", QString());
        env.insert("HOME", dossier.path());
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(ONDIVAR_CLI_EXE), QStringList{"balayage", "--port", "1"} + args);
        QVERIFY(cli.waitForStarted(5000));
    }
    // The data rows of a table file.
    static QStringList lignes(const QString &fichier)
    {
        QFile f(fichier);
        QStringList l;
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &x : f.readAll().split('\n'))
                if (!x.isEmpty() && (std::isdigit(static_cast<unsigned char>(x.at(0))) || x.at(0) == '-'))
                    l << QString::fromLatin1(x.trimmed());
        return l;
    }

private slots:
    void cleanup()
    {
        sim.kill();
        sim.waitForFinished(3000);
    }

    void balayageEntier_data()
    {
        QTest::addColumn<QStringList>("simulateur");
        QTest::addColumn<QString>("fichier");
        QTest::addColumn<QChar>("separateur");
        QTest::addColumn<int>("colonnes");
        QTest::newRow("multimeter, keysight socket, txt")
            << QStringList{"--model", "54622D", "--generateur", "keysight", "--generateur-tcp", "0"} << "points.txt" << QChar('\t') << 4;
        QTest::newRow("bode, feeltech serial, csv")
            << QStringList{"--model", "GDS-1102", "--generateur", "feeltech"} << "points.csv" << QChar(',') << 4;   // f, G, phase, GdB
    }
    // Each point on standard output as it comes (f, G, phase of the filter), then the table.
    void balayageEntier()
    {
        QFETCH(QStringList, simulateur);
        QFETCH(QString, fichier);
        QFETCH(QChar, separateur);
        QFETCH(int, colonnes);
        QVERIFY(demarreSim(simulateur));
        const QString chemin = dossier.filePath(fichier);
        QProcess cli;
        QStringList args{"--generateur", generateur, "--de", "100", "--a", "10k", "--par-decade", "3", "--attente", "0", "-o", chemin};
        if (simulateur.contains("feeltech"))
            args << "--dialecte" << "feeltech";
        lance(cli, args);
        QVERIFY(cli.waitForFinished(90000));
        const QString erreurs = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(erreurs.contains(QStringLiteral("Balayage terminé (7 points enregistrés)")), qPrintable(erreurs));
        const QList<QByteArray> sortie = cli.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(sortie.size(), 7);
        for (const QByteArray &l : sortie) {
            const QList<QByteArray> c = l.split('\t');
            QCOMPARE(c.size(), 3);
            const double x = c[0].toDouble() / 1000;
            QVERIFY2(std::fabs(c[1].toDouble() * std::sqrt(1 + x * x) - 1) < 0.01, l.constData());
            QVERIFY2(std::fabs(c[2].toDouble() + std::atan(x) * 180 / M_PI) < 3, l.constData());
        }
        const QStringList rangs = lignes(chemin);
        QCOMPARE(rangs.size(), 7);
        QCOMPARE(rangs.first().split(separateur).size(), colonnes);
    }

    // Ctrl+C once two points are out: the sweep ends after the exchange in progress and the
    // points measured so far are written; the exit code says it did not finish.
    void arret()
    {
        QVERIFY(demarreSim({"--model", "54622D", "--generateur", "rigol", "--generateur-tcp", "0"}));
        const QString chemin = dossier.filePath("arret.txt");
        QProcess cli;
        lance(cli, {"--generateur", generateur, "--de", "100", "--a", "10000", "--par-decade", "5", "--attente", "0", "-o", chemin});
        QByteArray sortie;
        while (sortie.count('\n') < 2 && cli.waitForReadyRead(30000))
            sortie += cli.readAllStandardOutput();
        QVERIFY(sortie.count('\n') >= 2);
        ::kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        sortie += cli.readAllStandardOutput();
        const QString erreurs = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(erreurs.contains(QStringLiteral("Balayage arrêté")), qPrintable(erreurs));
        const int n = int(sortie.count('\n'));
        QVERIFY(n >= 2 && n < 11);
        QCOMPARE(lignes(chemin).size(), n);
    }

    // The generator goes silent at its fourth frequency: its message ends the sweep, the
    // three points measured are in the file.
    void generateurMuet()
    {
        QVERIFY(demarreSim({"--model", "54622D", "--generateur", "siglent", "--generateur-tcp", "0",
                            "--generateur-defaut", "silence-apres=4"}));
        const QString chemin = dossier.filePath("muet.csv");
        QProcess cli;
        lance(cli, {"--generateur", generateur, "--de", "100", "--a", "10000", "--par-decade", "3", "--attente", "0", "-o", chemin});
        QVERIFY(cli.waitForFinished(90000));
        const QString erreurs = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(erreurs.contains(QStringLiteral("Balayage interrompu : Le générateur %1 ne répond pas").arg(generateur)),
                 qPrintable(erreurs));
        QCOMPARE(cli.readAllStandardOutput().count('\n'), 3);
        QCOMPARE(lignes(chemin).size(), 3);
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no generator") << QStringList{"--de", "100", "--a", "1000", "-o", "x.txt"} << "--generateur est obligatoire";
        QTest::newRow("no output") << QStringList{"--generateur", "COM3", "--de", "100", "--a", "1000"} << "-o FICHIER ou --korvalis";
        QTest::newRow("bad start") << QStringList{"--generateur", "COM3", "--de", "-5", "--a", "1000", "-o", "x.txt"} << "--de attend";
        QTest::newRow("equal ends") << QStringList{"--generateur", "COM3", "--de", "1k", "--a", "1000", "-o", "x.txt"} << "sont égales";
        QTest::newRow("dialect") << QStringList{"--generateur", "COM3", "--dialecte", "tek", "--de", "1", "--a", "9", "-o", "x"} << "--dialecte attend";
        QTest::newRow("mode") << QStringList{"--generateur", "COM3", "--mode", "osc", "--de", "1", "--a", "9", "-o", "x"} << "--mode attend";
    }
    // Refused before anything is opened, exit code 2.
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        ports = "1=/dev/absent-ondivar";
        QProcess cli;
        lance(cli, args);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 2);
        const QString erreurs = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(erreurs.contains(message), qPrintable(erreurs));
    }

    // No instrument: its message, exit code 1, no file.
    void sansInstrument()
    {
        ports = "1=/dev/absent-ondivar";
        const QString chemin = dossier.filePath("rien.txt");
        QProcess cli;
        lance(cli, {"--generateur", "COM3", "--de", "100", "--a", "1000", "-o", chemin});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(!QFile::exists(chemin));
    }
};

QTEST_GUILESS_MAIN(TstCliBalayage)
#include "tst_clibalayage.moc"
