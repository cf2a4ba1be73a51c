// The Bode measurement swept by the simulated generator over the 1 kHz filter, through
// several generator dialects: every point is the filter's, the -3 dB point falls at the
// corner, the points are the Bode graph's own; a point that cannot be measured is named.
#include "bode/balayagebode.h"
#include "bode/graphebode.h"
#include "measure/unites.h"
#include "../generator/bancbalayage.h"

#include <QtTest>

class TstBalayageBode : public QObject {
    Q_OBJECT
private slots:
    void init() { angleEnDegre = true; }
    void cleanup()
    {
        banc.arrete();
        constructeur = oNone;
    }
    void filtre_data();
    void filtre();
    void pointImpossible();

private:
    TBancBalayage banc;
};

void TstBalayageBode::filtre_data()
{
    QTest::addColumn<QString>("modele");
    QTest::addColumn<int>("maker");
    QTest::addColumn<int>("gds");
    QTest::addColumn<QStringList>("generateur");
    QTest::addColumn<int>("parDecade");
    QTest::newRow("GDS, rigol socket") << "GDS-1102" << int(oGoodWill) << 1
                                       << QStringList{"--generateur", "rigol", "--generateur-tcp", "0"} << 5;
    QTest::newRow("Sefram, siglent socket") << "5150" << int(oSefram) << 0
                                            << QStringList{"--generateur", "siglent", "--generateur-tcp", "0"} << 3;
    QTest::newRow("GDS, feeltech serial") << "GDS-1102" << int(oGoodWill) << 1 << QStringList{"--generateur", "feeltech"} << 3;
    QTest::newRow("FI, scpi serial") << "FI3104" << int(oFI) << 0 << QStringList{"--generateur", "scpi"} << 2;
}

void TstBalayageBode::filtre()
{
    QFETCH(QString, modele);
    QFETCH(int, maker);
    QFETCH(int, gds);
    QFETCH(QStringList, generateur);
    QFETCH(int, parDecade);
    constructeur = Tconstructeur(maker);
    modeleGDS = gds;
    QVERIFY(banc.demarre(modele, generateur));
    TGenerateur gen;
    TReglageGenerateur reglage;
    if (generateur.contains("feeltech"))
        reglage.dialecte = TDialecteGenerateur::FeelTech;
    QString e;
    QVERIFY2(gen.ouvre(banc.ressource, reglage, e), qPrintable(e));

    Tgraphe graphe;
    InitGrapheBode(graphe);
    TMesureBode mesure(*banc.echange);
    TPointBalayageBode point(mesure, graphe, 1);
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(constructeur, banc.echange.get(), nullptr);
    Balayage b(g, o, point);
    TParametresBalayage p;
    p.debut = 100;
    p.fin = 10000;
    p.parDecade = parDecade;
    p.attenteMinMs = 0;   // the simulated filter settles at once
    const TResultatBalayage r = b.execute(p);
    QVERIFY2(r.erreur.isEmpty() && r.ignorees.isEmpty(), qPrintable(r.erreur + QString::number(r.ignorees.size())));
    QCOMPARE(r.points, 2 * parDecade + 1);
    QCOMPARE(graphe.NbrePoints, r.points);

    std::vector<TPointFiltre> pts;
    for (int i = 0; i < graphe.NbrePoints; ++i)
        pts.push_back({graphe.voie[VoieFrequence].valeur[size_t(i)], graphe.voie[VoieGain].valeur[size_t(i)],
                       graphe.voie[VoiePhase].valeur[size_t(i)]});
    // The phase comes from a quarter period of whole samples: at N samples a period (500
    // over the 20 divisions of the time base the sweep set) it may be off by 3/4 of a sample.
    VerifieFiltre(pts, parDecade, [](double f) {
        const double deltat = DeltatTempsParDivision(BaseDeTempsPour(f, 20, 2.2));
        return 1.0 + 0.75 * 360 / (1 / (f * deltat));
    });
    // The frequency the measurement found is the generator's.
    QVERIFY(std::fabs(pts.back().f / 10000 - 1) < 0.01);
}

// Both channels must be on: the point fails with the measurement's own text, tried twice.
void TstBalayageBode::pointImpossible()
{
    constructeur = oGoodWill;
    modeleGDS = 1;
    QVERIFY(banc.demarre("GDS-1102", {"--generateur", "scpi"}, true, {"--init", ":CHAN2:DISP OFF"}));
    TGenerateur gen;
    QString e;
    QVERIFY2(gen.ouvre(banc.ressource, TReglageGenerateur(), e), qPrintable(e));
    Tgraphe graphe;
    InitGrapheBode(graphe);
    TMesureBode mesure(*banc.echange);
    TPointBalayageBode point(mesure, graphe, 1);
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(constructeur, banc.echange.get(), nullptr);
    struct Vue : IVueBalayage {
        QStringList etats;
        void etat(const QString &t) override { etats << t; }
    } vue;
    Balayage b(g, o, point, &vue);
    TParametresBalayage p;
    p.debut = 500;
    p.fin = 1000;
    p.logarithmique = false;
    p.nombrePoints = 2;
    p.attenteMinMs = 0;
    const TResultatBalayage r = b.execute(p);
    QCOMPARE(r.points, 0);
    QCOMPARE(r.ignorees, (QList<double>{500, 1000}));
    QCOMPARE(graphe.NbrePoints, 0);
    QVERIFY2(vue.etats.first().contains(MessageDeuxVoies), qPrintable(vue.etats.first()));
}

QTEST_GUILESS_MAIN(TstBalayageBode)
#include "tst_balayagebode.moc"
