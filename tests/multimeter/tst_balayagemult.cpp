// The multimeter's reading swept by the simulated generator over the 1 kHz filter, through
// several generator dialects: every recorded point is the filter's, the -3 dB point falls at
// the corner, the points are the multimeter graph's own; a reading that fails is named.
#include "multimeter/balayagemult.h"
#include "../generator/bancbalayage.h"

#include <QtTest>

namespace {
// The default channels: f, Ve (CH1 RMS), Vs (CH2 RMS), phase.
std::vector<TPointFiltre> pointsDe(const Tgraphe &g)
{
    std::vector<TPointFiltre> p;
    for (int i = 0; i < g.NbrePoints; ++i)
        p.push_back({g.voie[0].valeur[size_t(i)], g.voie[2].valeur[size_t(i)] / g.voie[1].valeur[size_t(i)],
                     g.voie[3].valeur[size_t(i)]});
    return p;
}
} // namespace

class TstBalayageMult : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        banc.arrete();
        constructeur = oNone;
    }
    void filtre_data();
    void filtre();
    void lectureImpossible();
    void traceHorsEcran();

private:
    TBancBalayage banc;
};

void TstBalayageMult::filtre_data()
{
    QTest::addColumn<QStringList>("generateur");
    QTest::addColumn<int>("parDecade");
    QTest::newRow("keysight socket") << QStringList{"--generateur", "keysight", "--generateur-tcp", "0"} << 5;
    QTest::newRow("siglent socket") << QStringList{"--generateur", "siglent", "--generateur-tcp", "0"} << 3;
    QTest::newRow("feeltech serial") << QStringList{"--generateur", "feeltech"} << 3;
}

void TstBalayageMult::filtre()
{
    QFETCH(QStringList, generateur);
    QFETCH(int, parDecade);
    constructeur = oAgilent;
    QVERIFY(banc.demarre("54622D", generateur));
    TGenerateur gen;
    TReglageGenerateur reglage;
    if (generateur.contains("feeltech"))
        reglage.dialecte = TDialecteGenerateur::FeelTech;
    QString e;
    QVERIFY2(gen.ouvre(banc.ressource, reglage, e), qPrintable(e));

    TInstrumentMesure instrument(banc.echange.get(), nullptr);
    TMultimetre m(instrument);
    TPointBalayageMult point(m);
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(oAgilent, banc.echange.get(), nullptr);
    struct Vue : IVueBalayage {
        std::vector<TPointFiltre> vus;
        void point(int, double f, double gain, double phase) override { vus.push_back({f, gain, phase}); }
    } vue;
    Balayage b(g, o, point, &vue);
    TParametresBalayage p;
    p.debut = 100;
    p.fin = 10000;
    p.parDecade = parDecade;
    p.attenteMinMs = 0;   // the simulated filter settles at once
    const TResultatBalayage r = b.execute(p);
    QVERIFY2(r.erreur.isEmpty() && r.ignorees.isEmpty(), qPrintable(r.erreur + QString::number(r.ignorees.size())));
    QCOMPARE(r.points, 2 * parDecade + 1);
    QCOMPARE(m.Graphe.NbrePoints, r.points);
    const std::vector<TPointFiltre> pts = pointsDe(m.Graphe);
    VerifieFiltre(pts, parDecade);
    // The progress line shows the recorded point's gain and phase.
    QCOMPARE(int(vue.vus.size()), r.points);
    QCOMPARE(vue.vus.back().gain, pts.back().gain);
    QCOMPARE(vue.vus.back().phase, pts.back().phase);
    // The cycle's own state is given back: no continuous update left on.
    QVERIFY(!m.MesureCB);
    QVERIFY(!m.timerActif);
}

// A trace far off the screen: the first point runs out of scale steps on its two tries and
// is left out with the cycle's text; the second goes on from the scale reached and is taken.
void TstBalayageMult::lectureImpossible()
{
    constructeur = oAgilent;
    QVERIFY(banc.demarre("54622D", {"--generateur", "scpi"}));
    TGenerateur gen;
    QString e;
    QVERIFY2(gen.ouvre(banc.ressource, TReglageGenerateur(), e), qPrintable(e));
    banc.echange->EnvoieCommandeRapide(":CHAN1:RANG 0.0008");   // 0.1 mV a division for 1 V peak
    TInstrumentMesure instrument(banc.echange.get(), nullptr);
    TMultimetre m(instrument);
    TPointBalayageMult point(m);
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(oAgilent, banc.echange.get(), nullptr);
    struct Vue : IVueBalayage {
        QStringList etats;
        void etat(const QString &t) override { etats << t; }
    } vue;
    Balayage b(g, o, point, &vue);
    TParametresBalayage p;
    p.debut = 1000;
    p.fin = 2000;
    p.logarithmique = false;
    p.nombrePoints = 2;
    p.attenteMinMs = 0;
    const TResultatBalayage r = b.execute(p);
    QVERIFY(r.erreur.isEmpty());
    QCOMPARE(r.ignorees, QList<double>{1000});
    QCOMPARE(r.points, 1);
    QCOMPARE(m.Graphe.NbrePoints, 1);
    QVERIFY2(vue.etats.first().contains(QStringLiteral("CH1 saturée ?")), qPrintable(vue.etats.first()));
}

// CH1 clips (1 V peak on 8 x 0.2 V): the failed reading rescales it and the point is measured.
void TstBalayageMult::traceHorsEcran()
{
    constructeur = oAgilent;
    QVERIFY(banc.demarre("54622D", {"--generateur", "scpi"}));
    TGenerateur gen;
    QString e;
    QVERIFY2(gen.ouvre(banc.ressource, TReglageGenerateur(), e), qPrintable(e));
    banc.echange->EnvoieCommandeRapide(":CHAN1:RANG 1.6");
    TInstrumentMesure instrument(banc.echange.get(), nullptr);
    TMultimetre m(instrument);
    TPointBalayageMult point(m);
    TGenerateurBalayage g(gen);
    TOscilloBalayage o(oAgilent, banc.echange.get(), nullptr);
    Balayage b(g, o, point);
    TParametresBalayage p;
    p.debut = 500;
    p.fin = 2000;
    p.logarithmique = false;
    p.nombrePoints = 2;
    p.attenteMinMs = 0;
    const TResultatBalayage r = b.execute(p);
    QVERIFY2(r.ignorees.isEmpty(), qPrintable(QString::number(r.ignorees.size())));
    QCOMPARE(r.points, 2);
    QVERIFY(banc.echange->GetFloat(":CHAN1:RANG?") > 2.0);
    VerifieFiltre(pointsDe(m.Graphe), 1);
}

QTEST_GUILESS_MAIN(TstBalayageMult)
#include "tst_balayagemult.moc"
