#include "measure/unites.h"

#include <QMetaProperty>
#include <QtTest>
#include <cmath>
#include <numbers>

using namespace std::chrono_literals;

namespace {

const QString deg = QStringLiteral("\u00B0");
const QString micro = QStringLiteral("\u00B5");
const double NaN = std::nan("");

// Records what the procedures asked and answers as told.
class DialogueEnregistre : public IDialogue {
public:
    bool confirm(const QString &m) override { questions << m; return reponse; }
    void inform(const QString &m) override { infos << m; }
    QStringList questions, infos;
    bool reponse = true;
};

} // namespace

class TestUnites : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale::c()); angleEnDegre = true; }
    void cleanup() { QLocale::setDefault(QLocale::c()); angleEnDegre = true; setDialogue(nullptr); }

    // Files and commands always get "." and a short exponent, even in a French locale.
    void formatNumber_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("texte");
        QTest::newRow("1234.5") << 1234.5 << "1.23450E+3";
        QTest::newRow("-0.001") << -0.001 << "-1.00000E-3";
        QTest::newRow("zero") << 0.0 << "0.00000E+0";
        QTest::newRow("negative zero") << -0.0 << "0.00000E+0";
        QTest::newRow("three-digit exponent") << -2.5e-300 << "-2.50000E-300";
        QTest::newRow("exponent ten") << 1e10 << "1.00000E+10";
        QTest::newRow("rounds up to next decade") << 9.999996 << "1.00000E+1";
        QTest::newRow("NaN") << NaN << "NaN";
    }
    void formatNumber()
    {
        QFETCH(double, v);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QCOMPARE(FormatNumber(v), texte);
    }

    void formatPrefixed_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("unite");
        QTest::addColumn<QString>("texte");
        QTest::newRow("kilo") << "C" << 1500.0 << "V" << "1.5 kV";
        QTest::newRow("milli") << "C" << 0.02 << "V" << "20 mV";
        QTest::newRow("zero") << "C" << 0.0 << "V" << "0 V";
        QTest::newRow("no prefix") << "C" << 2.5 << "V" << "2.5 V";
        QTest::newRow("below yocto") << "C" << 1e-30 << "V" << "0 V";
        QTest::newRow("negative") << "C" << -0.0015 << "s" << "-1.5 ms";
        QTest::newRow("NaN, no unit") << "C" << NaN << "V" << " ";
        QTest::newRow("micro sign") << "C" << 2.2e-6 << "s" << "2.2 " + micro + "s";
        QTest::newRow("4 digits") << "C" << 123456.0 << "Hz" << "123.5 kHz";
        QTest::newRow("999 goes up") << "C" << 999.0 << "V" << "0.999 kV";
        QTest::newRow("0.999 stays") << "C" << 0.999 << "V" << "0.999 V";
        QTest::newRow("beyond yotta") << "C" << 2e30 << "V" << "2e+30 V";
        QTest::newRow("French comma") << "fr_FR" << 1500.0 << "V" << "1,5 kV";
        QTest::newRow("French negative") << "fr_FR" << -0.0015 << "s" << "-1,5 ms";
    }
    void formatPrefixed()
    {
        QFETCH(QString, locale);
        QFETCH(double, v);
        QFETCH(QString, unite);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(FormatPrefixed(v, unite), texte);
    }

    void formatU_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("symbole");
        QTest::addColumn<int>("precision");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("texte");
        QTest::newRow("millivolt") << "C" << "V" << 5 << 0.0234 << "23.4mV";
        QTest::newRow("zero") << "C" << "V" << 5 << 0.0 << "0V";
        QTest::newRow("degree has no prefix") << "C" << deg << 5 << 123.4 << "123.4" + deg;
        QTest::newRow("degree, no grouping") << "en_US" << deg << 6 << 12345.5 << "12345.5" + deg;
        QTest::newRow("999.5 is 0.9995 kV") << "C" << "V" << 5 << 999.5 << "0.9995kV";
        QTest::newRow("micro") << "C" << "s" << 5 << -5e-6 << "-5" + micro + "s";
        QTest::newRow("precision 3") << "C" << "A" << 3 << 1.23456 << "1.23A";
        QTest::newRow("below yocto") << "C" << "V" << 5 << 1e-30 << "0V";
        QTest::newRow("beyond yotta") << "C" << "V" << 3 << 4.5e30 << "4.5e+30V";
        QTest::newRow("other unit") << "C" << "Hz" << 5 << 1500.0 << "1.5kHz";
        QTest::newRow("French comma") << "fr_FR" << "V" << 5 << 0.0234 << "23,4mV";
        QTest::newRow("NaN") << "C" << "V" << 5 << NaN << "nanV";
    }
    void formatU()
    {
        QFETCH(QString, locale);
        QFETCH(QString, symbole);
        QFETCH(int, precision);
        QFETCH(double, v);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        Tunite u(symbole);
        u.PrecisionU = uint8_t(precision);
        QCOMPARE(u.formatU(v), texte);
    }

    void nomAff_data()
    {
        QTest::addColumn<int>("puissance");
        QTest::addColumn<QString>("texte");
        QTest::newRow("0") << 0 << "V";
        QTest::newRow("3") << 3 << "kV";
        QTest::newRow("-6") << -6 << micro + "V";
        QTest::newRow("18") << 18 << "EV";
        QTest::newRow("-18") << -18 << "aV";
        QTest::newRow("21 has no letter") << 21 << "V";
        QTest::newRow("-24 has no letter") << -24 << "V";
        QTest::newRow("27 has no letter") << 27 << "V";
    }
    void nomAff()
    {
        QFETCH(int, puissance);
        QFETCH(QString, texte);
        QCOMPARE(UniteVolt().NomAff(puissance), texte);
    }

    // Writing the symbol sets the dimension and prefix use, and keeps name and precision.
    void setUnite_data()
    {
        QTest::addColumn<QString>("symbole");
        QTest::addColumn<bool>("avecPrefixe");
        QTest::addColumn<QList<int>>("dimension");
        QTest::newRow("V") << "V" << true << QList<int>{2, 1, -3, -1, 0, 0, 0};
        QTest::newRow("m") << "m" << true << QList<int>{1, 0, 0, 0, 0, 0, 0};
        QTest::newRow("A") << "A" << true << QList<int>{0, 0, 0, 1, 0, 0, 0};
        QTest::newRow("s") << "s" << true << QList<int>{0, 0, 1, 0, 0, 0, 0};
        QTest::newRow("degree") << deg << false << QList<int>{0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("other clears dimension") << "Hz" << true << QList<int>{0, 0, 0, 0, 0, 0, 0};
    }
    void setUnite()
    {
        QFETCH(QString, symbole);
        QFETCH(bool, avecPrefixe);
        QFETCH(QList<int>, dimension);
        Tunite u;
        u.setUniteComplet(QStringLiteral("kg"), 0, 1, 0, 0, 0, 0, 0);
        u.nom = QStringLiteral("tension");
        u.PrecisionU = 3;

        const QMetaProperty p = Tunite::staticMetaObject.property(
            Tunite::staticMetaObject.indexOfProperty("Unite"));
        QVERIFY(p.writeOnGadget(&u, symbole));

        QCOMPARE(u.Unite(), symbole);
        QCOMPARE(u.avecPrefixe, avecPrefixe);
        QCOMPARE(QList<int>(u.Dimension.begin(), u.Dimension.end()), dimension);
        QCOMPARE(u.nom, QStringLiteral("tension"));
        QCOMPARE(u.PrecisionU, uint8_t(3));
    }

    // A unit without prefix stays so on a new symbol that is not a standard one.
    void setUniteKeepsNoPrefix()
    {
        Tunite u(deg);
        u.setUnite(QStringLiteral("tr/min"));
        QVERIFY(!u.avecPrefixe);
        QCOMPARE(u.formatU(1500), QStringLiteral("1500tr/min"));
    }

    void initAndCopy()
    {
        Tunite u(deg);
        u.nom = QStringLiteral("phase");
        u.PrecisionU = 2;
        Tunite copie;
        copie.nom = QStringLiteral("gain");
        copie.PrecisionU = 4;
        copie.RecopieUnite(UniteVolt());
        QCOMPARE(copie.Unite(), QStringLiteral("V"));
        QCOMPARE(copie.Dimension, UniteVolt().Dimension);
        QCOMPARE(copie.nom, QStringLiteral("gain"));
        QCOMPARE(copie.PrecisionU, uint8_t(4));
        copie.RecopieUnite(u);
        QVERIFY(!copie.avecPrefixe);

        u.Init();
        QVERIFY(u.Unite().isEmpty() && u.nom.isEmpty());
        QVERIFY(u.avecPrefixe);
        QCOMPARE(u.PrecisionU, uint8_t(5));
        QCOMPARE(u.Dimension, (std::array<int8_t, 7>{}));
    }

    void standardUnits()
    {
        const QStringList symboles{"m", "A", "V", "s", deg, ""};
        QCOMPARE(NbreUnitesStandard, symboles.size());
        for (int i = 0; i < NbreUnitesStandard; ++i)
            QCOMPARE(UniteStandard(i).Unite(), symboles[i]);
        QCOMPARE(&UniteStandard(2), &UniteVolt());   // one table, made once
        QVERIFY(UniteSansDimension().avecPrefixe);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, UniteStandard(NbreUnitesStandard));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, UniteStandard(-1));
    }

    void complexAngle_data()
    {
        QTest::addColumn<double>("re");
        QTest::addColumn<double>("im");
        QTest::addColumn<double>("degres");
        QTest::newRow("-1, 0") << -1.0 << 0.0 << 180.0;
        QTest::newRow("-1, -0") << -1.0 << -0.0 << 180.0;
        QTest::newRow("-1, -0.0001") << -1.0 << -0.0001 << -179.99427042;
        QTest::newRow("0, -2") << 0.0 << -2.0 << -90.0;
        QTest::newRow("0, 3") << 0.0 << 3.0 << 90.0;
        QTest::newRow("1, 1") << 1.0 << 1.0 << 45.0;
        QTest::newRow("-1, 1") << -1.0 << 1.0 << 135.0;
        QTest::newRow("-1, -1") << -1.0 << -1.0 << -135.0;
        QTest::newRow("2, 0") << 2.0 << 0.0 << 0.0;
    }
    void complexAngle()
    {
        QFETCH(double, re);
        QFETCH(double, im);
        QFETCH(double, degres);
        QVERIFY(std::fabs(ComplexAngle(re, im) - degres) < 1e-6);
        angleEnDegre = false;
        QVERIFY(std::fabs(ComplexAngle(re, im) - degres * std::numbers::pi / 180) < 1e-8);
    }

    void complexAngleWithoutAngle()
    {
        QVERIFY_THROWS_EXCEPTION(std::domain_error, ComplexAngle(0, 0));
        QVERIFY_THROWS_EXCEPTION(std::domain_error, ComplexAngle(-0.0, 0));
        QVERIFY(std::isnan(ComplexAngle(0, NaN)));
        QVERIFY(std::isnan(ComplexAngle(NaN, 1)));
    }

    void fullTurn()
    {
        QCOMPARE(FullTurn(), 360.0);
        angleEnDegre = false;
        QCOMPARE(FullTurn(), 6.283185307179586);
    }

    void floorValue_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("plancher");
        QTest::newRow("2.7") << 2.7 << 2.0;
        QTest::newRow("-2.5") << -2.5 << -3.0;
        QTest::newRow("-3 integer") << -3.0 << -3.0;
        QTest::newRow("-0.1") << -0.1 << -1.0;
        QTest::newRow("0") << 0.0 << 0.0;
        QTest::newRow("beyond int range") << 1e300 << 1e300;
    }
    void floorValue()
    {
        QFETCH(double, x);
        QFETCH(double, plancher);
        QCOMPARE(FloorValue(x), plancher);
        QVERIFY(std::isnan(FloorValue(NaN)));
    }

    // Elapsed time is a difference of monotonic marks, nothing taken from the time of day.
    void elapsedSeconds()
    {
        const TMarqueTemps debut = MarqueTemps();
        QCOMPARE(ElapsedSeconds(debut, debut + 2500ms), 2.5);
        QCOMPARE(ElapsedSeconds(debut + 2500ms, debut), 2.5);
        QCOMPARE(ElapsedSeconds(debut, debut + 25h + 1ms), 90000.001);   // more than a day
        QVERIFY(ElapsedSeconds(MarqueTemps() - 2500ms) >= 2.5);
    }

    void headlessDialogue()
    {
        QCOMPARE(&dialogue(), static_cast<IDialogue *>(&dialogueConsole()));
        QVERIFY(!Confirm(QStringLiteral("Effacer le tableau ?")));   // the default answer is no
        dialogueConsole().reponse = true;
        QVERIFY(Confirm(QStringLiteral("Effacer le tableau ?")));
        dialogueConsole().reponse = false;
        Inform(QStringLiteral("Pas de réponse"));
    }

    void installedDialogue()
    {
        DialogueEnregistre d;
        setDialogue(&d);
        QVERIFY(Confirm(QStringLiteral("Continuer ?")));
        d.reponse = false;
        QVERIFY(!Confirm(QStringLiteral("Encore ?")));
        Inform(QStringLiteral("Fini"));
        QCOMPARE(d.questions, (QStringList{"Continuer ?", "Encore ?"}));
        QCOMPARE(d.infos, QStringList{"Fini"});
        setDialogue(nullptr);
        QCOMPARE(&dialogue(), static_cast<IDialogue *>(&dialogueConsole()));
    }
};

QTEST_GUILESS_MAIN(TestUnites)
#include "tst_unites.moc"
