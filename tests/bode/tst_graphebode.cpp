// The Bode graph without widgets: the phase range drawn, the gain limits in decibels and
// their spin rules, the points recorded and the two transfer texts, byte for byte.
#include "bode/graphebode.h"
#include "measure/unites.h"

#include <QtTest>
#include <cmath>
#include <numbers>

namespace {

QString crlf(const QStringList &lignes)
{
    QString s;
    for (const QString &l : lignes)
        s += l + QStringLiteral("\r\n");
    return s;
}

// Three points recorded out of order: 1 kHz first, then 100 Hz, then 10 kHz.
Tgraphe troisPoints(bool dB)
{
    Tgraphe g;
    InitGrapheBode(g);
    g.voie[VoieGain].AxedB = dB;
    const double points[3][3] = {{1000, 0.5, -60}, {100, 1, -5}, {10000, 10, -84}};
    for (const auto &p : points) {
        for (int j = 0; j < 3; ++j)
            g.voie[size_t(j)].valeurCourante = p[j];
        EnregistrePointBode(g);
    }
    g.tri();
    return g;
}

} // namespace

class TestGrapheBode : public QObject {
    Q_OBJECT
private slots:
    void init() { angleEnDegre = true; }
    void cleanup() { angleEnDegre = true; }

    void phaseAuQuartDeTour_data()
    {
        QTest::addColumn<bool>("degre");
        QTest::addColumn<double>("mini");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<double>("miniTrace");
        QTest::addColumn<double>("maxiTrace");
        const double pi = std::numbers::pi;
        QTest::newRow("-170..100") << true << -170.0 << 100.0 << -180.0 << 90.0;
        QTest::newRow("0..0") << true << 0.0 << 0.0 << 0.0 << 90.0;
        QTest::newRow("rounds to 0..0") << true << -30.0 << 40.0 << 0.0 << 90.0;
        QTest::newRow("capped") << true << -400.0 << 300.0 << -180.0 << 180.0;
        QTest::newRow("radians") << false << -3.15 << 1.0 << -pi << pi / 2;
        QTest::newRow("radians empty") << false << 0.1 << 0.2 << 0.0 << pi / 2;
    }
    void phaseAuQuartDeTour()
    {
        QFETCH(bool, degre);
        QFETCH(double, mini);
        QFETCH(double, maxi);
        QFETCH(double, miniTrace);
        QFETCH(double, maxiTrace);
        PhaseAuQuartDeTour(mini, maxi, degre);
        QCOMPARE(mini, miniTrace);
        QCOMPARE(maxi, maxiTrace);
    }

    void decibels()
    {
        double g = 10;
        QString t;
        QVERIFY(AffichageDecibel(g, t));
        QCOMPARE(t, QStringLiteral("20dB"));
        // One press up: 30, i.e. 29.54 dB shown as 30, and the limit becomes 10^1.5.
        double mini = 0.1, maxi = 10;
        TPasGain r = MaxiPlus(mini, maxi);
        QCOMPARE(r.texte, QStringLiteral("30dB"));
        QVERIFY(r.refus.isEmpty());
        QCOMPARE(maxi, std::pow(10.0, 1.5));
        g = 0;
        QVERIFY(!AffichageDecibel(g, t));
        g = 0.5;
        QVERIFY(AffichageDecibel(g, t));
        QCOMPARE(t, QStringLiteral("-6dB"));
    }

    void pasRefuses_data()
    {
        QTest::addColumn<int>("bouton");   // 0 maxi up, 1 maxi down, 2 mini up, 3 mini down
        QTest::addColumn<double>("mini");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<QString>("refus");
        QTest::newRow("maxi above 100 dB") << 0 << 0.1 << 200000.0 << QStringLiteral("Maxi = 100 dB");
        QTest::newRow("maxi near mini") << 1 << 1.0 << 9.0 << QStringLiteral("Maxi trop proche du mini");
        QTest::newRow("mini near maxi") << 2 << 2.0 << 10.0 << QStringLiteral("Mini trop proche du maxi");
        QTest::newRow("mini below -100 dB") << 3 << 0.000005 << 10.0 << QStringLiteral("Mini = -100 dB");
    }
    void pasRefuses()
    {
        QFETCH(int, bouton);
        QFETCH(double, mini);
        QFETCH(double, maxi);
        const double mini0 = mini, maxi0 = maxi;
        TPasGain (*const pas[4])(double &, double &) = {MaxiPlus, MaxiMoins, MiniPlus, MiniMoins};
        const TPasGain r = pas[bouton](mini, maxi);
        QFETCH(QString, refus);
        QCOMPARE(r.refus, refus);
        QVERIFY(r.texte.isEmpty());
        QCOMPARE(mini, mini0);
        QCOMPARE(maxi, maxi0);
    }

    // A minimum of 0 (linear axis) starts from a tenth of the maximum.
    void miniDepuisZero()
    {
        double mini = 0, maxi = 10;
        const TPasGain r = MiniMoins(mini, maxi);
        QCOMPARE(r.texte, QStringLiteral("-10dB"));
        QCOMPARE(mini, std::pow(10.0, -0.5));
    }

    void enregistrement()
    {
        Tgraphe g;
        InitGrapheBode(g);
        QCOMPARE(g.DerniereVoie, 2);
        QCOMPARE(g.voie[VoiePhase].Nom, QStringLiteral("\u2026"));
        for (int i = 0; i < NbrePointsBode; ++i)
            QVERIFY(EnregistrePointBode(g));
        QVERIFY(!EnregistrePointBode(g));
        QCOMPARE(g.NbrePoints, 256);
    }

    // The "Korvalis" text, every point from the first, sorted by frequency.
    void texteKorvalis_data()
    {
        QTest::addColumn<bool>("dB");
        QTest::addColumn<int>("choix");
        QTest::addColumn<QString>("attendu");
        const QString chemin = QStringLiteral("/opt/ondivar/ondivar");
        QTest::newRow("decibel, new file")
            << true << 0
            << crlf({chemin, QStringLiteral("Diagramme de Bode avec GW,GDS-1102,EL800123,V1.21"), QStringLiteral("filtre RC"),
                     QStringLiteral("f\tG\t\u2026\tGdB\t"), QStringLiteral("Hz\t\t\u00B0\t\t"),
                     QStringLiteral("fréquence\tgain\tphase\tGain en décibel\t"),
                     QStringLiteral("1.00000E+2\t1.00000E+0\t-5.00000E+0\t0.00000E+0\t"),
                     QStringLiteral("1.00000E+3\t5.00000E-1\t-6.00000E+1\t-6.02060E+0\t"),
                     QStringLiteral("1.00000E+4\t1.00000E+1\t-8.40000E+1\t2.00000E+1\t"), QString(),
                     QStringLiteral("R"), QStringLiteral("kΩ"), QStringLiteral("1.5")});
        QTest::newRow("linear, new page")
            << false << 1
            << crlf({chemin, QString(), QStringLiteral("filtre RC"), QStringLiteral("f\tG\t\u2026\t"),
                     QStringLiteral("Hz\t\t\u00B0\t"), QStringLiteral("fréquence\tgain\tphase\t"),
                     QStringLiteral("1.00000E+2\t1.00000E+0\t-5.00000E+0\t"),
                     QStringLiteral("1.00000E+3\t5.00000E-1\t-6.00000E+1\t"),
                     QStringLiteral("1.00000E+4\t1.00000E+1\t-8.40000E+1\t"), QString(), QStringLiteral("R"),
                     QStringLiteral("kΩ"), QStringLiteral("1.5")});
    }
    void texteKorvalis()
    {
        QFETCH(bool, dB);
        QFETCH(int, choix);
        QFETCH(QString, attendu);
        TInfosPage infos;
        infos.choix = choix;
        infos.identification = QStringLiteral("GW,GDS-1102,EL800123,V1.21");
        infos.commentaire = QStringLiteral("filtre RC");
        infos.parametre = {QStringLiteral("R"), QStringLiteral("kΩ"), QStringLiteral("1.5")};
        QCOMPARE(TexteKorvalisBode(troisPoints(dB), infos, QStringLiteral("/opt/ondivar/ondivar")), attendu);
    }

    // "Ajouter": the names and the rows only.
    void texteAjout_data()
    {
        QTest::addColumn<bool>("dB");
        QTest::addColumn<QString>("attendu");
        QTest::newRow("decibel") << true
                                 << crlf({QStringLiteral("f\tG\t\u2026\tGdB\t"),
                                          QStringLiteral("1.00000E+2\t1.00000E+0\t-5.00000E+0\t0.00000E+0\t"),
                                          QStringLiteral("1.00000E+3\t5.00000E-1\t-6.00000E+1\t-6.02060E+0\t"),
                                          QStringLiteral("1.00000E+4\t1.00000E+1\t-8.40000E+1\t2.00000E+1\t")});
        QTest::newRow("linear") << false
                                << crlf({QStringLiteral("f\tG\t\u2026\t"),
                                         QStringLiteral("1.00000E+2\t1.00000E+0\t-5.00000E+0\t"),
                                         QStringLiteral("1.00000E+3\t5.00000E-1\t-6.00000E+1\t"),
                                         QStringLiteral("1.00000E+4\t1.00000E+1\t-8.40000E+1\t")});
    }
    void texteAjout()
    {
        QFETCH(bool, dB);
        QFETCH(QString, attendu);
        QCOMPARE(TexteAjoutBode(troisPoints(dB)), attendu);
    }

    // A gain of 0 has no decibel value: "0".
    void gainNul()
    {
        Tgraphe g;
        InitGrapheBode(g);
        g.voie[VoieFrequence].valeurCourante = 50;
        g.voie[VoieGain].valeurCourante = 0;
        g.voie[VoiePhase].valeurCourante = 0;
        EnregistrePointBode(g);
        QCOMPARE(TexteAjoutBode(g), crlf({QStringLiteral("f\tG\t\u2026\tGdB\t"),
                                          QStringLiteral("5.00000E+1\t0.00000E+0\t0.00000E+0\t0\t")}));
    }

    // Drawn in decibels: the points and the range, the stored ratios untouched.
    void grapheEnDecibels()
    {
        const Tgraphe g = troisPoints(true);
        const Tgraphe a = GrapheAffiche(g);
        QCOMPARE(a.voie[VoieGain].valeur[2], 20.0);
        QCOMPARE(a.voie[VoieGain].maxi, 20.0);
        QCOMPARE(a.voie[VoieGain].mini, -20.0);
        QCOMPARE(a.voie[VoieGain].Unite, QStringLiteral("dB"));
        QCOMPARE(g.voie[VoieGain].valeur[2], 10.0);
        QCOMPARE(GrapheAffiche(troisPoints(false)).voie[VoieGain].valeur[2], 10.0);
    }
};

QTEST_MAIN(TestGrapheBode)
#include "tst_graphebode.moc"
