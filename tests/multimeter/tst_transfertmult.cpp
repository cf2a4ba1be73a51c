#include "multimeter/transfertmult.h"

#include "measure/graphe.h"

#include <QtTest>

namespace {

const QString chemin = QStringLiteral("/usr/bin/ondivar");

// Four points of the default channels (f, Ve, Vs, phase) recorded out of order, one and
// a half seconds apart; the phase of the last point in frequency is folded to +170.
void quatrePoints(Tgraphe &g)
{
    for (int i = 0; i <= 4; ++i)
        g.voie[size_t(i)].AppliqueMesure(TableMesures[size_t(i)]);
    g.voie[0].Commentaire = QStringLiteral("fréquence");
    g.voie[2].Commentaire = QStringLiteral("sortie");
    g.DerniereVoie = 3;
    const double f[] = {1000, 100, 10000, 3000};
    const double vs[] = {0.5, 0.995, 0.1, 0.3};
    const double ph[] = {-45, -5.7, 170, -170};
    for (int i = 0; i < 4; ++i) {
        g.voie[0].valeur[size_t(i)] = f[i];
        g.voie[0].incertitude[size_t(i)] = f[i] / 100;
        g.voie[1].valeur[size_t(i)] = 1;
        g.voie[1].incertitude[size_t(i)] = 0.02;
        g.voie[2].valeur[size_t(i)] = vs[i];
        g.voie[2].incertitude[size_t(i)] = 0.01;
        g.voie[3].valeur[size_t(i)] = ph[i];
        g.voie[3].incertitude[size_t(i)] = 2;
        g.voie[VoieTemps].valeur[size_t(i)] = 1.5 * i;
    }
    g.voie[4].valeur.fill(7);   // inactive: never written
    g.NbrePoints = 4;
}

TInfosPage infos(int choix)
{
    TInfosPage p;
    p.choix = choix;
    p.identification = QStringLiteral("AGILENT TECHNOLOGIES,54622A");
    p.commentaire = QStringLiteral("filtre RC");
    p.parametre = TParametre{QStringLiteral("R"), QStringLiteral("ohm"), QStringLiteral("1,5k")};
    return p;
}

} // namespace

class TestTransfertMult : public QObject {
    Q_OBJECT
private slots:
    void tableTriee();
    void acquisitionAutomatique();
    void ordres_data();
    void ordres();
    void sansPointNiParametre();
};

void TestTransfertMult::tableTriee()
{
    Tgraphe g;
    quatrePoints(g);
    const TTransfertMultimetre t = PrepareTransfertMultimetre(g, false, infos(0), chemin);
    const QString attendu = QStringLiteral(
        "/usr/bin/ondivar\r\n"
        "Diagramme de Bode avec AGILENT TECHNOLOGIES,54622A\r\n"
        "filtre RC\r\n"
        "f\tVe\tVs\t\u2026\t\r\n"
        "Hz\tV\tV\t\u00B0\t\r\n"
        "fréquence\t\tsortie\t\t\r\n"
        "1.00000E+2\t1.00000E+0\t9.95000E-1\t-5.70000E+0\t\r\n"
        "1.00000E+3\t1.00000E+0\t5.00000E-1\t-4.50000E+1\t\r\n"
        "3.00000E+3\t1.00000E+0\t3.00000E-1\t-1.70000E+2\t\r\n"
        "1.00000E+4\t1.00000E+0\t1.00000E-1\t-1.90000E+2\t\r\n"
        "&4 INCERT\r\n"
        "1.00000E+0\t2.00000E-2\t1.00000E-2\t2.00000E+0\t\r\n"
        "1.00000E+1\t2.00000E-2\t1.00000E-2\t2.00000E+0\t\r\n"
        "3.00000E+1\t2.00000E-2\t1.00000E-2\t2.00000E+0\t\r\n"
        "1.00000E+2\t2.00000E-2\t1.00000E-2\t2.00000E+0\t\r\n"
        "\r\n"
        "R\r\n"
        "ohm\r\n"
        "1,5k\r\n");
    QCOMPARE(t.texte, attendu);
    // The graph itself is left sorted, as the window then shows it.
    QCOMPARE(g.voie[0].valeur[0], 100.0);
    QCOMPARE(g.voie[3].valeur[3], -190.0);
}

void TestTransfertMult::acquisitionAutomatique()
{
    Tgraphe g;
    quatrePoints(g);
    g.DerniereVoie = 2;
    const TTransfertMultimetre t = PrepareTransfertMultimetre(g, true, infos(1), chemin);
    const QString attendu = QStringLiteral(
        "/usr/bin/ondivar\r\n"
        "\r\n"
        "filtre RC\r\n"
        "t\tf\tVe\tVs\t\r\n"
        "s\tHz\tV\tV\t\r\n"
        "temps\tfréquence\t\tsortie\t\r\n"
        "0.00000E+0\t1.00000E+3\t1.00000E+0\t5.00000E-1\t\r\n"
        "1.50000E+0\t1.00000E+2\t1.00000E+0\t9.95000E-1\t\r\n"
        "3.00000E+0\t1.00000E+4\t1.00000E+0\t1.00000E-1\t\r\n"
        "4.50000E+0\t3.00000E+3\t1.00000E+0\t3.00000E-1\t\r\n"
        "&4 INCERT\r\n"
        "0.001\t1.00000E+1\t2.00000E-2\t1.00000E-2\t\r\n"
        "0.001\t1.00000E+0\t2.00000E-2\t1.00000E-2\t\r\n"
        "0.001\t1.00000E+2\t2.00000E-2\t1.00000E-2\t\r\n"
        "0.001\t3.00000E+1\t2.00000E-2\t1.00000E-2\t\r\n"
        "\r\n"
        "R\r\n"
        "ohm\r\n"
        "1,5k\r\n");
    QCOMPARE(t.texte, attendu);
    QCOMPARE(g.voie[0].valeur[0], 1000.0);   // in the order of the readings
}

void TestTransfertMult::ordres_data()
{
    QTest::addColumn<int>("choix");
    QTest::addColumn<int>("ordre");
    QTest::newRow("nouveau fichier") << 0 << int(eLoad);
    QTest::newRow("nouvelle page") << 1 << int(eAdd);
    QTest::newRow("ajout page courante") << 2 << int(ePlus);
}

void TestTransfertMult::ordres()
{
    QFETCH(int, choix);
    QFETCH(int, ordre);
    Tgraphe g;
    quatrePoints(g);
    const TTransfertMultimetre t = PrepareTransfertMultimetre(g, false, infos(choix), chemin);
    QCOMPARE(int(t.ordre), ordre);
    QCOMPARE(t.choixSuivant, 1);
}

void TestTransfertMult::sansPointNiParametre()
{
    Tgraphe g;
    quatrePoints(g);
    g.NbrePoints = 0;
    g.DerniereVoie = 1;
    TInfosPage p = infos(1);
    p.parametre.valeur = QStringLiteral("beaucoup");   // not a number: no parameter block
    QCOMPARE(TexteTransfertMultimetre(g, false, p, chemin),
             QStringLiteral("/usr/bin/ondivar\r\n\r\nfiltre RC\r\nf\tVe\t\r\nHz\tV\t\r\nfréquence\t\t\r\n&0 INCERT\r\n"));
}

QTEST_MAIN(TestTransfertMult)
#include "tst_transfertmult.moc"
