// One gain and phase measurement through the simulated instruments: what the instrument
// hears, the results against the simulated filter, and the failures a user meets.
#include "banc.h"
#include "bode/mesurebode.h"
#include "link/ticktimer.h"
#include "measure/unites.h"

#include <QElapsedTimer>
#include <cmath>

namespace {

// Program time leads real time by this much: the waits meant to run out do so at once.
qint64 gAvance = 0;

class Vue : public IVueBode {
public:
    QStringList erreurs, messages, suite;
    int boutons = 0, continuArrete = 0, resultatsVus = 0;
    bool stop = false, erreurVisible = false, curseur = false;
    qint64 saut = 0;
    std::function<void()> surPompe;
    void afficheErreur(const QString &t) override { erreurs << t; erreurVisible = true; }
    void effaceErreur() override { erreurVisible = false; }
    void majBoutons() override { ++boutons; }
    void stopActif(bool a) override { stop = a; }
    void arreteContinu() override { ++continuArrete; suite << QStringLiteral("continu"); }
    void message(const QString &t) override { messages << t; suite << QStringLiteral("message"); }
    void curseurAttente(bool a) override { curseur = a; }
    void resultats() override { ++resultatsVus; }
    void pompe() override
    {
        QCoreApplication::processEvents();
        gAvance += saut;
        if (surPompe)
            surPompe();
    }
};

// The filter's corner at 1 kHz, the generator at the corner, the time base set for it.
const QStringList kCoude = {QStringLiteral("--filtre"), QStringLiteral("1000"), QStringLiteral("--ch1"),
                            QStringLiteral("sine,1,1000,0,0"), QStringLiteral("--autoset")};

} // namespace

class TestMesureBode : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        angleEnDegre = true;
        gAvance = 0;
        horloge.start();
        TickClock::setSource([this] { return horloge.elapsed() + gAvance; });
    }
    void cleanup()
    {
        TickClock::setSource({});
        banc.arrete();
        constructeur = oNone;
    }

    // A filter at its corner frequency: gain 0.707, phase -45° (CH2 lags), for every dialect.
    void filtreAuCoude_data()
    {
        QTest::addColumn<int>("maker");
        QTest::addColumn<int>("modele");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("requete");
        QTest::newRow("GoodWill GDS-1102") << int(oGoodWill) << 1 << (QStringList{"--model", "GDS-1102"} + kCoude)
                                           << QStringLiteral(":ACQ1:MEM");
        QTest::newRow("FI3104") << int(oFI) << 0 << (QStringList{"--model", "FI3104"} + kCoude)
                                << QStringLiteral(":ACQ1:POIN");
        QTest::newRow("Sefram 5150") << int(oSefram) << 0 << (QStringList{"--model", "5150"} + kCoude)
                                     << QStringLiteral(":ACQ1:POIN");
        // The LF of each CR LF comes after the program has taken the reply at its CR.
        QTest::newRow("Sefram 5150, late LF")
            << int(oSefram) << 0 << (QStringList{"--model", "5150", "--fault", "lflate=5"} + kCoude)
            << QStringLiteral(":ACQ1:POIN");
        QTest::newRow("GoodWill GDS-1102, late LF")
            << int(oGoodWill) << 1 << (QStringList{"--model", "GDS-1102", "--fault", "lflate=5"} + kCoude)
            << QStringLiteral(":ACQ1:MEM");
    }
    void filtreAuCoude()
    {
        QFETCH(int, maker);
        QFETCH(int, modele);
        QFETCH(QStringList, options);
        QFETCH(QString, requete);
        QVERIFY(banc.demarre(Tconstructeur(maker), modele, options));
        Vue vue;
        TMesureBode m(*banc.echange, &vue);
        QVERIFY2(m.Mesure(1), qPrintable(vue.erreurs.join(" / ") + vue.messages.join(" / ")));
        QCOMPARE(vue.resultatsVus, 1);
        QVERIFY(!vue.erreurVisible);
        QVERIFY(!vue.curseur);
        QVERIFY(vue.boutons >= 1);
        QVERIFY2(std::fabs(m.calcul.gain.valeurCourante - M_SQRT1_2) < 0.01, qPrintable(QString::number(m.calcul.gain.valeurCourante)));
        QVERIFY2(std::fabs(m.calcul.phase.valeurCourante + 45) < 1, qPrintable(QString::number(m.calcul.phase.valeurCourante)));
        QVERIFY2(std::fabs(m.calcul.frequence.valeurCourante - 1000) < 10,
                 qPrintable(QString::number(m.calcul.frequence.valeurCourante)));
        // The RMS values are the inputs' (1 V peak on CH1).
        QVERIFY(std::fabs(m.calcul.VoieOsc[1].valeurEff - M_SQRT1_2) < 0.02);

        // Both channels asked first, then each channel's scales before its block.
        const QStringList c = banc.commandes();
        const QString n2 = QString(requete).replace('1', '2');
        const qsizetype i1 = c.indexOf(":CHAN1:DISP?"), i2 = c.indexOf(":CHAN2:DISP?"), b1 = c.indexOf(requete),
                        b2 = c.indexOf(n2);
        QVERIFY2(i1 >= 0 && i1 < i2 && i2 < b1 && b1 < b2, qPrintable(c.join(" | ")));
        QVERIFY(c.indexOf(":CHAN1:SCAL?") < b1 && c.indexOf(":CHAN2:SCAL?") > b1 && c.indexOf(":CHAN2:SCAL?") < b2);
        QCOMPARE(c.contains(":TIM:SCAL?"), maker != oFI);

        // A second measurement reads both channels again (the counted reader restarts at "#").
        QVERIFY(m.Mesure(2));
        QCOMPARE(banc.commandes().count(requete), 2);
        QCOMPARE(banc.commandes().count(n2), 2);
        // With CH2 as the reference, CH1 leads it: +45° and the inverse gain.
        QVERIFY(std::fabs(m.calcul.phase.valeurCourante - 45) < 1);
        QVERIFY(std::fabs(m.calcul.gain.valeurCourante - M_SQRT2) < 0.02);
    }

    // One channel switched off: both questions asked, the strip says why, nothing is read.
    void voieEteinte_data()
    {
        QTest::addColumn<QString>("init");
        QTest::newRow("CH1 off") << QStringLiteral(":CHAN1:DISP OFF");
        QTest::newRow("CH2 off") << QStringLiteral(":CHAN2:DISP OFF");
    }
    void voieEteinte()
    {
        QFETCH(QString, init);
        QVERIFY(banc.demarre(oGoodWill, 1, QStringList{"--model", "GDS-1102", "--init", init} + kCoude));
        Vue vue;
        TMesureBode m(*banc.echange, &vue);
        m.calcul.gain.valeurCourante = 3;
        QVERIFY(!m.Mesure(1));
        QCOMPARE(vue.erreurs, QStringList{QStringLiteral("Deux voies actives nécessaires pour mesurer gain/phase")});
        QVERIFY(vue.messages.isEmpty());
        const QStringList c = banc.commandes();
        QVERIFY(c.contains(":CHAN1:DISP?") && c.contains(":CHAN2:DISP?"));
        QVERIFY(!c.contains(":ACQ1:MEM"));
        QCOMPARE(m.calcul.gain.valeurCourante, 3.0);
    }

    // A block cut short: after the 2 s limit the continuous mode stops, then the box names
    // the channel; the current values stay.
    void blocIncomplet()
    {
        QVERIFY(banc.demarre(oGoodWill, 1, QStringList{"--model", "GDS-1102", "--fault", "truncate"} + kCoude));
        Vue vue;
        TMesureBode m(*banc.echange, &vue);
        m.calcul.phase.valeurCourante = 12;
        vue.surPompe = [&] {
            if (vue.stop)
                gAvance += 50;   // the 2 s limit runs out in a few real milliseconds
        };
        QVERIFY(!m.Mesure(1));
        QCOMPARE(vue.messages, QStringList{QStringLiteral("Acquisition de CH1 non effectuée par l'ordinateur")});
        QCOMPARE(vue.suite, (QStringList{QStringLiteral("continu"), QStringLiteral("message")}));
        QVERIFY(!vue.stop);
        QVERIFY(!banc.commandes().contains(":ACQ2:MEM"));
        QCOMPARE(m.calcul.phase.valeurCourante, 12.0);
    }

    // Stop during the read of CH2: the same box; closing the window instead: nothing shown.
    void arretPendantLaLecture_data()
    {
        QTest::addColumn<bool>("fermeture");
        QTest::newRow("Stop") << false;
        QTest::newRow("window closing") << true;
    }
    void arretPendantLaLecture()
    {
        QFETCH(bool, fermeture);
        // Slow enough that the block is still coming when Stop is pressed.
        QVERIFY(banc.demarre(oFI, 0, QStringList{"--model", "FI3104", "--baud", "9600"} + kCoude));
        Vue vue;
        TMesureBode m(*banc.echange, &vue);
        bool refusee = false;
        vue.surPompe = [&] {
            if (vue.stop && m.voieCourante == 2) {
                // A second measurement asked meanwhile is refused, the running one untouched.
                refusee = !m.Mesure(1);
                if (fermeture)
                    m.forceArret();
                else
                    arretAcquisition = true;
            }
        };
        QVERIFY(!m.Mesure(1));
        QVERIFY(refusee);
        QCOMPARE(banc.commandes().count(":ACQ1:POIN"), 1);
        if (fermeture) {
            QVERIFY(vue.messages.isEmpty());
            QCOMPARE(vue.continuArrete, 0);
        } else {
            QCOMPARE(vue.messages, QStringList{QStringLiteral("Acquisition de CH2 non effectuée par l'ordinateur")});
        }
        QCOMPARE(vue.resultatsVus, 0);
        arretAcquisition = false;
    }

    // Too many periods in the block: the strip says so and the values stay.
    void tropDePeriodes()
    {
        QVERIFY(banc.demarre(oGoodWill, 1, {"--model", "GDS-1102", "--filtre", "1000", "--ch1", "sine,1,1000,0,0",
                                            "--init", ":TIM:SCAL 1ms"}));
        Vue vue;
        TMesureBode m(*banc.echange, &vue);
        QVERIFY(!m.Mesure(1));
        QCOMPARE(vue.erreurs, QStringList{QStringLiteral("Impossible de déterminer la fréquence : plus de cinq périodes")});
        QVERIFY(std::isnan(m.calcul.gain.valeurCourante));
    }

private:
    QElapsedTimer horloge;
    TBancBode banc;
};

QTEST_GUILESS_MAIN(TestMesureBode)
#include "tst_mesurebode.moc"
