#include "bode/gainphase.h"
#include "measure/unites.h"

#include <QtTest>
#include <cmath>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

// Samples 1..500 of a sine of `periode` samples, amplitude and offset in sample units,
// phase in radians (positive: ahead).
void sinus(TvoieOscBode &v, double periode, double amplitude, double phase = 0, double decalage = 0)
{
    for (int i = 1; i <= NbreEchantillonsBode + 1; ++i)
        v.Valeur[size_t(i)] = qint32(std::lround(decalage + amplitude * std::sin(2 * pi * i / periode + phase)));
}

void plat(TvoieOscBode &v, qint32 niveau, qint32 bruit = 0)
{
    for (int i = 1; i <= NbreEchantillonsBode + 1; ++i)
        v.Valeur[size_t(i)] = niveau + (i % 2 ? bruit : -bruit);
}

// Two channels at 1 V/div, 20 µs per sample.
TCalculBode banc()
{
    TCalculBode c;
    c.VoieOsc[1].increment = c.VoieOsc[2].increment = IncrementVoie(1.0);
    c.Deltat = 20e-6;
    return c;
}

} // namespace

class TestGainPhase : public QObject {
    Q_OBJECT
private slots:
    void init() { angleEnDegre = true; }
    void cleanup() { angleEnDegre = true; }

    void echelles()
    {
        QCOMPARE(IncrementVoie(1.0), 1.0 / 8192);
        QCOMPARE(DeltatTempsParDivision(2.5e-4), 1e-5);
    }

    // Channel 2 a quarter period ahead of channel 1, at half its amplitude (and with DC
    // offsets, which change nothing): the phase of the other channel relative to the
    // reference, the gain other / reference.
    void quartDePeriode_data()
    {
        QTest::addColumn<int>("voieRef");
        QTest::addColumn<bool>("degres");
        QTest::addColumn<double>("decalage1");
        QTest::addColumn<double>("decalage2");
        QTest::addColumn<double>("phase");
        QTest::addColumn<double>("gain");
        QTest::newRow("ref CH1") << 1 << true << 0.0 << 0.0 << 90.0 << 0.5;
        QTest::newRow("ref CH2") << 2 << true << 0.0 << 0.0 << -90.0 << 2.0;
        QTest::newRow("ref CH1, radians") << 1 << false << 0.0 << 0.0 << pi / 2 << 0.5;
        QTest::newRow("ref CH1, DC offsets") << 1 << true << 6000.0 << -9000.0 << 90.0 << 0.5;
        QTest::newRow("ref CH2, DC offsets") << 2 << true << -4000.0 << 3000.0 << -90.0 << 2.0;
    }
    void quartDePeriode()
    {
        QFETCH(int, voieRef);
        QFETCH(bool, degres);
        QFETCH(double, decalage1);
        QFETCH(double, decalage2);
        QFETCH(double, phase);
        QFETCH(double, gain);
        angleEnDegre = degres;
        TCalculBode c = banc();
        c.voieRef = voieRef;
        sinus(c.VoieOsc[1], 200, 16000, 0, decalage1);
        sinus(c.VoieOsc[2], 200, 8000, pi / 2, decalage2);
        QVERIFY(c.mesureFrequence());
        QVERIFY(std::abs(c.NbrePointsPeriode - 200) <= 1);
        QVERIFY(c.calculeGainPhase());
        QVERIFY2(std::fabs(c.phase.valeurCourante - phase) < FullTurn() / 360 * 1.0,
                 qPrintable(QString::number(c.phase.valeurCourante)));
        QVERIFY2(std::fabs(c.gain.valeurCourante - gain) < gain * 0.01, qPrintable(QString::number(c.gain.valeurCourante)));
        // RMS and mean of each channel over the period, in volts.
        QVERIFY(std::fabs(c.VoieOsc[1].valeurEff - 16000 / std::sqrt(2.0) / 8192) < 0.02);
        QVERIFY(std::fabs(c.VoieOsc[1].valeurDC - decalage1 / 8192) < 0.02);
        QVERIFY(std::fabs(c.VoieOsc[2].valeurDC - decalage2 / 8192) < 0.02);
        // Oscillogram: the other channel's start shifted by the phase, its level RMS + mean.
        const int o = 3 - voieRef;
        const double brut = voieRef == 2 ? c.phase.valeurCourante : -c.phase.valeurCourante;
        QCOMPARE(c.marques[size_t(o)].debut, ArrondiPair(c.NbrePointsPeriode * brut / FullTurn()) + c.marques[size_t(voieRef)].debut);
        QCOMPARE(c.marques[size_t(o)].fin, 0);
        QVERIFY(std::abs(c.marques[2].niveau - qRound(8000 / std::sqrt(2.0) + decalage2)) <= 60);
    }

    // A first-order low-pass filter at its corner frequency.
    void filtreAuCoude()
    {
        TCalculBode c = banc();
        const double periode = 173.3;   // not a whole number of samples
        sinus(c.VoieOsc[1], periode, 20000);
        sinus(c.VoieOsc[2], periode, 20000 / std::sqrt(2.0), -pi / 4);
        QVERIFY(c.mesureFrequence());
        QVERIFY(c.calculeGainPhase());
        QVERIFY2(std::fabs(c.gain.valeurCourante - 0.7071) <= 0.01, qPrintable(QString::number(c.gain.valeurCourante)));
        QVERIFY2(std::fabs(c.phase.valeurCourante + 45) <= 1, qPrintable(QString::number(c.phase.valeurCourante)));
        QVERIFY(std::fabs(c.frequence.valeurCourante - 1 / (periode * 20e-6)) < 2);
    }

    // The period search and its two refusals; a refusal leaves the frequency alone.
    void periode_data()
    {
        QTest::addColumn<double>("periode");   // samples; 0 for a flat channel
        QTest::addColumn<QString>("erreur");
        QTest::addColumn<double>("frequence");
        QTest::newRow("250 Hz at 20 us") << 200.0 << QString() << 250.0;
        QTest::newRow("1 kHz at 20 us") << 50.0 << MessagePlusCinqPeriodes << 0.0;
        QTest::newRow("64 samples") << 64.0 << MessagePlusCinqPeriodes << 0.0;
        QTest::newRow("1.1 periods") << 450.0 << MessageMoinsUnePeriode << 0.0;
        QTest::newRow("flat") << 0.0 << MessageMoinsUnePeriode << 0.0;
    }
    void periode()
    {
        QFETCH(double, periode);
        QFETCH(QString, erreur);
        QFETCH(double, frequence);
        TCalculBode c = banc();
        c.frequence.valeurCourante = 123;
        for (int n = 1; n <= 2; ++n) {
            if (periode > 0)
                sinus(c.VoieOsc[size_t(n)], periode, 10000);
            else
                plat(c.VoieOsc[size_t(n)], 3000, 400);   // noise within the 512-unit band
        }
        QCOMPARE(c.mesureFrequence(), erreur.isEmpty());
        QCOMPARE(c.erreur, erreur);
        if (erreur.isEmpty())
            QVERIFY2(std::fabs(c.frequence.valeurCourante - frequence) < frequence * 0.01,
                     qPrintable(QString::number(c.frequence.valeurCourante)));
        else
            QCOMPARE(c.frequence.valeurCourante, 123.0);
    }

    // The period is taken on the channel with the coarser vertical scale.
    void voieDeLaPeriode_data()
    {
        QTest::addColumn<double>("increment2");
        QTest::addColumn<bool>("reussit");
        QTest::newRow("CH2 coarser: its sine") << IncrementVoie(2.0) << true;
        QTest::newRow("same scale: CH1, flat") << IncrementVoie(1.0) << false;
    }
    void voieDeLaPeriode()
    {
        QFETCH(double, increment2);
        QFETCH(bool, reussit);
        TCalculBode c = banc();
        c.VoieOsc[2].increment = increment2;
        plat(c.VoieOsc[1], 0);
        sinus(c.VoieOsc[2], 150, 10000);
        QCOMPARE(c.mesureFrequence(), reussit);
        QCOMPARE(c.marques[2].fin > 0, reussit);
    }

    // A frequency or gain outside its range moves the range to its decade step.
    void recadrage_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<double>("mini");
        QTest::addColumn<double>("maxi");
        QTest::addColumn<bool>("fait");
        QTest::newRow("15000") << 15000.0 << 10000.0 << 20000.0 << true;
        QTest::newRow("3500") << 3500.0 << 3000.0 << 4000.0 << true;
        QTest::newRow("a decade") << 10000.0 << 10000.0 << 20000.0 << true;
        QTest::newRow("a hair below a decade") << 999.9999999999999 << 900.0 << 1000.0 << true;
        QTest::newRow("small gain") << 0.0734 << 0.07 << 0.08 << true;
        QTest::newRow("negative") << -250.0 << 200.0 << 300.0 << true;
        QTest::newRow("zero") << 0.0 << 1.0 << 2.0 << false;
        QTest::newRow("NaN") << std::nan("") << 1.0 << 2.0 << false;
        QTest::newRow("infinite") << HUGE_VAL << 1.0 << 2.0 << false;
    }
    void recadrage()
    {
        QFETCH(double, v);
        QFETCH(double, mini);
        QFETCH(double, maxi);
        QFETCH(bool, fait);
        double a = 1, b = 2;
        QCOMPARE(RecadreDecade(v, a, b), fait);
        QCOMPARE(a, mini);
        QCOMPARE(b, maxi);
        QVERIFY(!fait || (std::fabs(v) >= a && std::fabs(v) <= b));
    }

    void recadrageDeLaFrequence_data()
    {
        QTest::addColumn<double>("f");
        QTest::addColumn<double>("mini");
        QTest::addColumn<double>("maxi");
        QTest::newRow("3500 Hz keeps 100..10000") << 3500.0 << 100.0 << 10000.0;
        QTest::newRow("15000 Hz") << 15000.0 << 10000.0 << 20000.0;
    }
    void recadrageDeLaFrequence()
    {
        QFETCH(double, f);
        QFETCH(double, mini);
        QFETCH(double, maxi);
        TCalculBode c = banc();
        c.Deltat = 1 / (200 * f);
        sinus(c.VoieOsc[1], 200, 10000);
        sinus(c.VoieOsc[2], 200, 10000);
        QVERIFY(c.mesureFrequence());
        QCOMPARE(c.frequence.mini, mini);
        QCOMPARE(c.frequence.maxi, maxi);
        QCOMPARE(c.redessine, mini != 100.0);
    }

    // Gain range: a gain of 3 with the range 0..1 rescales to 3..4.
    void recadrageDuGain()
    {
        TCalculBode c = banc();
        sinus(c.VoieOsc[1], 200, 3000);
        sinus(c.VoieOsc[2], 200, 9000);
        QVERIFY(c.mesureFrequence());
        QVERIFY(c.calculeGainPhase());
        QVERIFY(std::fabs(c.gain.valeurCourante - 3) < 0.01);
        QCOMPARE(c.gain.mini, 3.0);
        QCOMPARE(c.gain.maxi, 4.0);
        QVERIFY(c.redessine);
    }

    // A constant other channel has no phase: the strip says so, gain and phase stay.
    void autreVoieConstante()
    {
        TCalculBode c = banc();
        c.gain.valeurCourante = 0.3;
        c.phase.valeurCourante = -12;
        sinus(c.VoieOsc[1], 200, 10000);
        plat(c.VoieOsc[2], 500);
        QVERIFY(c.mesureFrequence());
        QVERIFY(!c.calculeGainPhase());
        QCOMPARE(c.erreur, MessageVoieConstante);
        QCOMPARE(c.gain.valeurCourante, 0.3);
        QCOMPARE(c.phase.valeurCourante, -12.0);
    }

    // A reference channel of no RMS (its scale read as 0): gain 1, the phase still found.
    void referenceSansValeurEfficace()
    {
        TCalculBode c = banc();
        c.VoieOsc[1].increment = 0;
        sinus(c.VoieOsc[1], 200, 10000);
        sinus(c.VoieOsc[2], 200, 10000, pi / 2);
        QVERIFY(c.mesureFrequence());
        QVERIFY(c.calculeGainPhase());
        QCOMPARE(c.gain.valeurCourante, 1.0);
        QVERIFY(std::fabs(c.phase.valeurCourante - 90) < 1);
        QCOMPARE(c.gain.maxi, 1.0);
    }

    void arrondiPair_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("n");
        QTest::newRow("2.5") << 2.5 << 2;
        QTest::newRow("3.5") << 3.5 << 4;
        QTest::newRow("-2.5") << -2.5 << -2;
        QTest::newRow("2.6") << 2.6 << 3;
        QTest::newRow("NaN") << std::nan("") << 0;
        QTest::newRow("huge") << 1e20 << 0;
    }
    void arrondiPair()
    {
        QFETCH(double, x);
        QFETCH(int, n);
        QCOMPARE(ArrondiPair(x), n);
    }
};

QTEST_GUILESS_MAIN(TestGainPhase)
#include "tst_gainphase.moc"
