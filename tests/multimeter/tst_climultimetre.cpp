// "ondivar-cli multimetre" against the simulated instrument behind a low-pass filter and the
// Korvalis stand-in.
#include "bancosc.h"
#include "multimeter/climultimetre.h"

#include <cmath>

namespace {

struct Sortie {
    QString out, err;
    int rc = -1;
    QList<QStringList> lignes() const
    {
        QList<QStringList> l;
        for (const QString &s : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            l << s.split(QLatin1Char('\t'));
        return l;
    }
};

Sortie multimetre(const QStringList &args)
{
    Sortie s;
    QTextStream out(&s.out), err(&s.err);
    s.rc = cliMultimetre(args, out, err);
    out.flush();
    err.flush();
    return s;
}

} // namespace

class TestCliMultimetre : public QObject {
    Q_OBJECT
    TDialogueNote note;

private slots:
    void init() { setDialogue(&note); }
    void cleanup() { setDialogue(nullptr); }

    // At the corner of the filter: f, Ve, Vs = Ve/√2 and −45°, each with its uncertainty.
    void lectures_data()
    {
        QTest::addColumn<QString>("modele");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("colonnes");
        QTest::newRow("Agilent") << "54622D" << QStringList{} << 8;
        QTest::newRow("GoodWill GDS2000, automatic") << "GDS-2062" << QStringList{"--auto"} << 9;
    }
    void lectures()
    {
        QFETCH(QString, modele);
        QFETCH(QStringList, options);
        QFETCH(int, colonnes);
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", modele, "--filtre", "1000", "--ch1", "sine,1.414,1000,0,0"}));
        const Sortie s = multimetre(QStringList{"--points", "3"} + options);
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        const QList<QStringList> l = s.lignes();
        QCOMPARE(l.size(), 3);
        const int d = colonnes == 9 ? 1 : 0;
        double t = -1;
        for (const QStringList &c : l) {
            QCOMPARE(c.size(), colonnes);
            if (d) {
                QVERIFY(c[0].toDouble() > t);
                t = c[0].toDouble();
            }
            QVERIFY2(std::fabs(c[d].toDouble() - 1000) < 10, qPrintable(c.join(' ')));
            QVERIFY(c[d + 1].toDouble() > 0);
            QVERIFY2(std::fabs(c[d + 2].toDouble() - 1.0) < 0.03, qPrintable(c.join(' ')));
            QVERIFY2(std::fabs(c[d + 4].toDouble() - 0.707) < 0.03, qPrintable(c.join(' ')));
            QVERIFY2(std::fabs(c[d + 6].toDouble() + 45) < 3, qPrintable(c.join(' ')));
        }
        QVERIFY(s.err.contains(QStringLiteral("3 points enregistrés.")));
    }

    // A flat CH1: every reading fails on the frequency; nothing is recorded.
    void lecturesManquees()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", "54622D", "--ch1", "sine,0,1000,0,0"}));
        const Sortie s = multimetre({"--points", "2"});
        QCOMPARE(s.rc, 1);
        QVERIFY(s.out.isEmpty());
        QCOMPARE(s.err.count(QStringLiteral("Moins de deux périodes ?")), 2);
        QVERIFY(s.err.contains(QStringLiteral("0 point enregistré.")));
    }

    // The file's channels (CH2's peak-to-peak only) and its "Constante" go to Korvalis.
    void configurationEtKorvalis()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", "54622D", "--filtre", "1000"}));
        QVERIFY(banc.demarreStub());
        QDir(banc.chemin(QString())).mkdir(QStringLiteral("mes essais"));
        QFile f(banc.chemin(QStringLiteral("mes essais/filtre rc.od")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Voie1]\r\nNom=Upp\r\nCommand=VPP\r\nNum\xe9ro=2\r\nIncertitude=3\r\n[Voie2]\r\nActive=0\r\n"
                "[Voie3]\r\nActive=0\r\n[Constante]\r\nNom=R\r\nUnite=ohm\r\n");
        f.close();
        const Sortie s = multimetre({banc.chemin(QStringLiteral("mes")), QStringLiteral("essais/filtre"), QStringLiteral("rc.od"),
                                     "--points", "4", "--korvalis", "load", "--commentaire", "Filtre RC"});
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        QCOMPARE(s.lignes().size(), 4);
        QCOMPARE(s.lignes().first().size(), 4);
        QCOMPARE(banc.enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
        const QString texte = QString::fromUtf8(banc.enregistre(QStringLiteral("presse-papiers-001.txt")));
        QVERIFY2(texte.contains(QStringLiteral("\r\nFiltre RC")), qPrintable(texte));
        QVERIFY2(texte.contains(QStringLiteral("f\tUpp\t")), qPrintable(texte));
        QVERIFY(texte.contains(QStringLiteral("&4 INCERT")));
    }

    // The program itself, which has no graphical application object.
    void programme()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", "DS1102E", "--filtre", "1000"}));
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), banc.chemin(QString()));
        env.insert(QStringLiteral("ONDIVAR_USBTMC_DIR"), banc.chemin(QStringLiteral("sans-usb")));
        env.insert(QStringLiteral("ONDIVAR_VISA"), QString());
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(ONDIVAR_CLI_EXE), {QStringLiteral("multimetre"), QStringLiteral("--points"), QStringLiteral("2")});
        QVERIFY(cli.waitForFinished(60000));
        const QByteArray erreurs = cli.readAllStandardError();
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QVERIFY2(cli.exitCode() == 0, erreurs.constData());
        const QList<QByteArray> lignes = cli.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lignes.size(), 2);
        // Rigol on the serial line: the phase reads 0.
        QCOMPARE(lignes[0].split('\t').value(6).toDouble(), 0.0);
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("message");
        QTest::newRow("too many points") << QStringList{"--points", "257"} << 2 << "--points attend";
        QTest::newRow("bad order") << QStringList{"--korvalis", "addcol"} << 2 << "--korvalis attend load, add ou plus";
        QTest::newRow("bad parameter") << QStringList{"--parametre", "R"} << 2 << "NOM:UNITE:VALEUR";
        QTest::newRow("unknown option") << QStringList{"--vite"} << 2 << "Option inconnue : --vite";
        QTest::newRow("missing file") << QStringList{"absent.od"} << 1 << "Configuration introuvable : absent.od";
    }
    void usage()
    {
        QFETCH(QStringList, args);
        const Sortie s = multimetre(args);
        QTEST(s.rc, "rc");
        QFETCH(QString, message);
        QVERIFY2(s.err.contains(message), qPrintable(s.err));
    }
};

QTEST_MAIN(TestCliMultimetre)
#include "tst_climultimetre.moc"
