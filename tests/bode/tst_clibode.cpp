// "ondivar-cli bode" run in the process against a simulated GoodWill/Instek and the Korvalis
// stand-in: the points printed, the page handed over, the exit codes.
#include "../scope/bancosc.h"
#include "bode/clibode.h"
#include "bode/graphebode.h"
#include "link/types.h"

class TestCliBode : public QObject {
    Q_OBJECT
    std::unique_ptr<TBancOsc> banc;

    int lance(const QStringList &args, QString &out, QString &err)
    {
        out.clear();
        err.clear();
        QTextStream o(&out), e(&err);
        const int rc = cliBode(args, o, e);
        o.flush();
        e.flush();
        return rc;
    }

private slots:
    void init() { banc = std::make_unique<TBancOsc>(); }
    void cleanup()
    {
        banc.reset();
        constructeur = oNone;
    }

    void mesuresEtEnvoi()
    {
        QVERIFY(banc->demarreSim({"--model", "GDS-1102", "--filtre", "1000", "--ch1", "sine,1,1000,0,0", "--autoset"}));
        QVERIFY(banc->demarreStub());
        QString out, err;
        QCOMPARE(lance({"--mesures", "2", "--reference", "1", "--korvalis", "load", "--commentaire", "filtre RC"}, out, err), 0);
        const QStringList lignes = out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lignes.size(), 2);
        for (const QString &l : lignes) {
            const QStringList c = l.split('\t');
            QCOMPARE(c.size(), 3);
            QVERIFY2(std::fabs(c[1].toDouble() - M_SQRT1_2) < 0.01, qPrintable(l));
            QVERIFY2(std::fabs(c[2].toDouble() + 45) < 1, qPrintable(l));
        }
        QVERIFY2(err.contains(QStringLiteral("2 points enregistrés.")), qPrintable(err));
        QCOMPARE(banc->enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
        const QString texte = QString::fromUtf8(banc->enregistre(QStringLiteral("presse-papiers-001.txt")));
        QVERIFY2(texte.contains(QStringLiteral("\r\nDiagramme de Bode avec GW,GDS-1102")), qPrintable(texte));
        QVERIFY(texte.contains(QStringLiteral("\r\nfiltre RC\r\n")));
        QVERIFY(texte.contains(QStringLiteral("GdB")));
    }

    void echecs_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown option") << QStringList() << QStringList{"--points", "3"} << 2
                                        << QStringLiteral("Option inconnue : --points");
        QTest::newRow("reference 3") << QStringList() << QStringList{"--reference", "3"} << 2
                                     << QStringLiteral("--reference attend 1 (CH1) ou 2 (CH2)");
        QTest::newRow("not a Bode instrument") << QStringList{"--model", "54622D"} << QStringList() << 1
                                               << QStringLiteral("passe par le multimètre");
        QTest::newRow("channel off") << QStringList{"--model", "FI3104", "--init", ":CHAN1:DISP OFF"} << QStringList() << 1
                                     << QStringLiteral("Deux voies actives nécessaires pour mesurer gain/phase");
    }
    void echecs()
    {
        QFETCH(QStringList, sim);
        QFETCH(QStringList, args);
        if (!sim.isEmpty())
            QVERIFY(banc->demarreSim(sim));
        QString out, err;
        QTEST(lance(args, out, err), "code");
        QFETCH(QString, message);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(out.isEmpty());
    }
};

QTEST_MAIN(TestCliBode)
#include "tst_clibode.moc"
