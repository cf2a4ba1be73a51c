// "ondivar-cli acquire" against the simulated instrument and the Korvalis stand-in.
#include "bancosc.h"
#include "scope/cliacquire.h"
#include "simengine.h"

#include <QGuiApplication>
#include <cmath>

namespace {

struct Sortie {
    QString out, err;
    int rc = -1;
};

Sortie acquire(const QStringList &args)
{
    Sortie s;
    QTextStream out(&s.out), err(&s.err);
    s.rc = cliAcquire(args, out, err);
    out.flush();
    err.flush();
    return s;
}

const char *kCH1 = "sine,1.5,1000,0,0.25";
const char *kCH2 = "triangle,0.8,2000,30,-0.1";

} // namespace

class TestCliAcquire : public QObject {
    Q_OBJECT
    TDialogueNote note;

private slots:
    void init() { setDialogue(&note); }
    void cleanup() { setDialogue(nullptr); }

    // A Korvalis file whose samples are the simulated signals, with the names given.
    void fichierKvx()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", "54622D", "--ch1", kCH1, "--ch2", kCH2}));
        const QString nom = banc.chemin(QStringLiteral("page.kvx"));
        const Sortie s = acquire({"-o", nom, "--points", "500", "--nom1", "Ue", "--signif1", "Entrée", "--nom2", "Us",
                                  "--signif2", "Sortie"});
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        QFile f(nom);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lignes = QString::fromLatin1(f.readAll()).split(QStringLiteral("\r\n"));
        QCOMPARE(lignes.value(0), QStringLiteral("QUINTARE KORVALIS WINDOWS 1.0"));
        const QString tout = lignes.join(QLatin1Char('\n'));
        QVERIFY(tout.contains(QStringLiteral("\nUe\n")) && tout.contains(QStringLiteral("\nUs\n")));
        QVERIFY(tout.contains(QStringLiteral("\nEntrée\n")) && tout.contains(QStringLiteral("\nSortie\n")));
        const qsizetype v = lignes.indexOf(QRegularExpression(QStringLiteral("^&\\d+ VALEUR VAR$")));
        QVERIFY(v > 0);
        const int n = lignes[v].mid(1).section(QLatin1Char(' '), 0, 0).toInt();
        QCOMPARE(n, 500);
        SimSignal s1, s2;
        SimSignal::parse(QString::fromLatin1(kCH1), s1);
        SimSignal::parse(QString::fromLatin1(kCH2), s2);
        double pire = 0;
        for (int i = 0; i < n; ++i) {
            const QStringList c = lignes[v + 1 + i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
            QCOMPARE(c.size(), 3);
            const double t = c[0].toDouble();
            pire = std::max({pire, std::fabs(c[1].toDouble() - s1.valueAt(t)), std::fabs(c[2].toDouble() - s2.valueAt(t))});
        }
        // 16-bit samples: far below one hundredth of a volt
        QVERIFY2(pire < 0.01, qPrintable(QString::number(pire)));
    }

    void envoiKorvalis()
    {
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", "5150"}));
        QVERIFY(banc.demarreStub());
        const Sortie s = acquire({"--korvalis", "load", "--commentaire", "Essai", "--parametre", "R:Ω:1000",
                                  "--enregistrement", "totalité"});
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        QCOMPARE(banc.enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
        const QString texte = QString::fromUtf8(banc.enregistre(QStringLiteral("presse-papiers-001.txt")));
        QVERIFY(texte.contains(QStringLiteral("\r\nEssai\r\n")));
        QVERIFY(texte.contains(QStringLiteral("t\tVA\tVB\r\n")));
        QVERIFY(texte.contains(QStringLiteral("Ω")));
        QVERIFY(texte.contains(QStringLiteral("LIGNE")));
    }

    // CH2's block cut short: the page holds CH1, and the exit code tells the script the read
    // was incomplete.
    void lectureIncomplete()
    {
        int rang = 0;
        {
            TBancOsc propre;
            const QString journal = propre.chemin(QStringLiteral("echo.txt"));
            QVERIFY(propre.demarreSim({"--model", "54622D", "--echo-log", journal}));
            const Sortie s = acquire({"-o", propre.chemin(QStringLiteral("p.kvx")), "--points", "500"});
            QVERIFY2(s.rc == 0, qPrintable(s.err));
            QFile f(journal);
            QVERIFY(f.open(QIODevice::ReadOnly));
            int vues = 0;
            for (const QByteArray &ligne : f.readAll().split('\n'))
                for (const QByteArray &partie : ligne.split(';'))
                    if (partie.contains('?') && vues < 2) {
                        ++rang;
                        if (partie.trimmed() == ":WAV:DATA?")
                            ++vues;
                    }
            QCOMPARE(vues, 2);
        }
        TBancOsc banc;
        QVERIFY(banc.demarreSim({"--model", "54622D", "--fault", "truncate", "--fault-after", QString::number(rang)}));
        const QString nom = banc.chemin(QStringLiteral("page.kvx"));
        const Sortie s = acquire({"-o", nom, "--points", "500"});
        QCOMPARE(s.rc, 3);
        QVERIFY2(s.err.contains(QString::fromUtf8("Lecture incomplète : CH2 affichée par l'oscilloscope n'a pas pu être lue")),
                 qPrintable(s.err));
        QVERIFY(QFile::exists(nom));
    }

    // Refusals: counts outside the maker's list (with the list), bad options.
    void refus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("sim");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("message");
        QTest::newRow("points not offered") << QStringList{"-o", "x.kvx", "--points", "1200"} << true << 2
                                            << "Nombre de points refusé : 1200. Pour Agilent, choisir parmi : 250, 500, 1000, 2000.";
        QTest::newRow("no destination") << QStringList{"--points", "500"} << false << 2 << "-o FICHIER ou --korvalis";
        QTest::newRow("both destinations") << QStringList{"-o", "x.kvx", "--korvalis", "add"} << false << 2
                                           << "ne vont pas ensemble";
        QTest::newRow("bad order") << QStringList{"--korvalis", "plus"} << false << 2 << "--korvalis attend load ou add";
        QTest::newRow("bad parameter") << QStringList{"-o", "x", "--parametre", "R=3"} << false << 2 << "NOM:UNITE:VALEUR";
        QTest::newRow("unknown option") << QStringList{"-o", "x", "--vite"} << false << 2 << "Option inconnue : --vite";
        QTest::newRow("missing value") << QStringList{"-o", "x", "--nom1"} << false << 2 << "--nom1 demande une valeur";
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << "Utilisation : ondivar-cli acquire";
    }
    void refus()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, sim);
        TBancOsc banc;
        if (sim)
            QVERIFY(banc.demarreSim({"--model", "54622D"}));
        for (QString &a : args)
            if (a.startsWith(QLatin1String("x")))
                a = banc.chemin(a);
        const Sortie s = acquire(args);
        QTEST(s.rc, "rc");
        QFETCH(QString, message);
        QVERIFY2(s.err.contains(message), qPrintable(s.err));
        QVERIFY(QDir(banc.dossier.path()).entryList({QStringLiteral("x*")}).isEmpty());
    }
};

QTEST_MAIN(TestCliAcquire)
#include "tst_cliacquire.moc"
