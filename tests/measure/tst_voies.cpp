#include "measure/voies.h"

#include <QLocale>
#include <QTest>
#include <cmath>

namespace {
const double NaN = std::nan("");
const QString deg = QStringLiteral("\u00B0");
const QString micro = QStringLiteral("\u00B5");
} // namespace

class TestVoies : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        baseDeTemps = 0;
        calibreVoie.fill(0);
        frequenceCourante = 0;
    }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void tableMesures()
    {
        QCOMPARE(TableMesures.size(), size_t(11));
        QStringList signif, noms;
        QList<QByteArray> commandes, gds;
        for (const TvoieRecord &r : TableMesures) {
            signif << r.Signif.toString();
            noms << r.Nom.toString();
            commandes << r.Command.toByteArray();
            gds << r.CommandGDS.toByteArray();
        }
        QCOMPARE(signif, QStringList({"fréquence", "efficace", "efficace", "phase(1,2)", "amplitude",
                                      "fréquence", "période", "temps de montée", "rapport cyclique",
                                      "moyenne", "crête-crête"}));
        QCOMPARE(noms, QStringList({"f", "Ve", "Vs", QString(QChar(0x2026)), "V", "f", "T", "tm", "rc", "Vm", "Vm"}));
        QCOMPARE(noms.at(3).size(), 1);
        QCOMPARE(commandes, QList<QByteArray>({"FREQ", "VRMS", "VRMS", "PHAS", "VAMP", "FREQ", "PER", "RIS",
                                               "DUTY", "VAV", "VPP"}));
        QCOMPARE(gds, QList<QByteArray>({"FREQ", "RMS", "RMS", "PHAS", "AMP", "FREQ", "PER", "RIS", "PDUTy",
                                         "CMEan", "PK2PK"}));
        QVERIFY(TableMesures[8].Unite.isEmpty());
        QCOMPARE(TableMesures[3].Unite.toString(), deg);
        QCOMPARE(TableMesures[2].NumVoie, 2);
        QCOMPARE(TableMesures[3].mini, -180.0);
        QVERIFY(!TableMesures[3].Positive);
        QVERIFY(!TableMesures[9].Positive);
        QVERIFY(!TableMesures[4].Active);

        // Ordinals as stored in configuration files.
        QCOMPARE(int(ciFreq), 1);
        QCOMPARE(int(ciTensionEff), 6);
        QCOMPARE(CalculIncertitudeDepuis(5), ciPhase);
        QCOMPARE(CalculIncertitudeDepuis(7), ciNone);
        QCOMPARE(CalculIncertitudeDepuis(-1), ciNone);
    }

    void creationEtMesure()
    {
        Tvoie v;
        QCOMPARE(v.mini, 0.0);
        QCOMPARE(v.maxi, 1.0);
        QVERIFY(!v.Active && v.Positive && v.CalculIncertitude == ciNone && v.NumVoie == 1);
        QVERIFY(std::isnan(v.valeurCourante) && std::isnan(v.oldValeur));
        QCOMPARE(v.a, 1.0);
        QCOMPARE(v.b, 0.0);
        QVERIFY(!v.AxeLog);

        v.Commentaire = "entrée";
        v.AppliqueMesure(TableMesures[2]);
        QCOMPARE(v.Nom, QString("Vs"));
        QCOMPARE(v.commandGDS, QByteArray("RMS"));
        QCOMPARE(v.CalculIncertitude, ciTensionEff);
        QCOMPARE(v.NumVoie, 2);
        QCOMPARE(v.maxi, 5.0);
        QVERIFY(v.Active);
        QCOMPARE(v.Commentaire, QString("entrée"));
    }

    void setPhase_data()
    {
        QTest::addColumn<QByteArray>("commande");
        QTest::addColumn<double>("avant");
        QTest::addColumn<double>("apres");
        QTest::newRow("-200 -> 160") << QByteArray("PHAS") << -200.0 << 160.0;
        QTest::newRow("181 -> -179") << QByteArray("PHAS") << 181.0 << -179.0;
        QTest::newRow("180 stays") << QByteArray("PHAS") << 180.0 << 180.0;
        QTest::newRow("-180 stays") << QByteArray("PHAS") << -180.0 << -180.0;
        QTest::newRow("once only") << QByteArray("PHAS") << 600.0 << 240.0;
        QTest::newRow("NaN") << QByteArray("PHAS") << NaN << NaN;
        QTest::newRow("not a phase") << QByteArray("FREQ") << -200.0 << -200.0;
    }
    void setPhase()
    {
        QFETCH(QByteArray, commande);
        QFETCH(double, avant);
        QFETCH(double, apres);
        Tvoie v;
        v.Unite = deg;
        v.Command = commande;
        v.valeurCourante = avant;
        v.SetPhase();
        if (std::isnan(apres))
            QVERIFY(std::isnan(v.valeurCourante));
        else
            QCOMPARE(v.valeurCourante, apres);
    }

    void setIncertitude_data()
    {
        QTest::addColumn<int>("regle");
        QTest::addColumn<int>("entree");
        QTest::addColumn<double>("v");
        QTest::addColumn<double>("attendu");
        // baseDeTemps 0.01, calibreVoie {1: 4, 2: 8}, frequenceCourante 50.
        const double c = 0.01 / 2048;
        QTest::newRow("none") << int(ciNone) << 1 << 3.0 << 0.0;
        QTest::newRow("freq 1000 Hz") << int(ciFreq) << 1 << 1000.0 << 0.1 + 1e6 * 0.01 / 2048;
        QTest::newRow("temps") << int(ciTemps) << 1 << 0.02 << 0.02 / 10000 + c;
        QTest::newRow("tension, input 1") << int(ciTension) << 1 << 3.0 << 4.0 / 512;
        QTest::newRow("duty") << int(ciDuty) << 1 << 0.25 << 1.25 * c * 50;
        QTest::newRow("phase is signed") << int(ciPhase) << 1 << -90.0 << 270 * c * 50;
        QTest::newRow("efficace, input 2") << int(ciTensionEff) << 2 << 1.0 << 0.0078125;
        QTest::newRow("NaN stays 0") << int(ciFreq) << 1 << NaN << 0.0;
        QTest::newRow("input out of range") << int(ciTension) << 9 << 3.0 << 0.0;
    }
    void setIncertitude()
    {
        QFETCH(int, regle);
        QFETCH(int, entree);
        QFETCH(double, v);
        QFETCH(double, attendu);
        baseDeTemps = 0.01;
        calibreVoie[1] = 4;
        calibreVoie[2] = 8;
        frequenceCourante = 50;
        Tvoie voie;
        voie.CalculIncertitude = TCalculIncertitude(regle);
        voie.NumVoie = uint8_t(entree);
        voie.valeurCourante = v;
        voie.incertitudeCourante = 99;
        voie.SetIncertitude();
        QCOMPARE(voie.incertitudeCourante, attendu);
    }
    void incertitudeFrequenceArrondie()
    {
        baseDeTemps = 0.01;
        Tvoie v;
        v.CalculIncertitude = ciFreq;
        v.valeurCourante = 1000;
        v.SetIncertitude();
        QVERIFY(std::fabs(v.incertitudeCourante - 4.98) < 0.005);
    }

    void grandeurToEcran_data()
    {
        QTest::addColumn<bool>("log");
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("ecran");
        QTest::newRow("log 100") << true << 100.0 << 0.0 << 100.0 << 200;
        QTest::newRow("linear") << false << -2.0 << 400.0 << 50.0 << 300;
        QTest::newRow("half down to even") << false << 1.0 << 0.0 << 2.5 << 2;
        QTest::newRow("half up to even") << false << 1.0 << 0.0 << 3.5 << 4;
        QTest::newRow("negative half") << false << 1.0 << 0.0 << -2.5 << -2;
        QTest::newRow("NaN") << false << 1.0 << 0.0 << NaN << -1;
        QTest::newRow("log of a negative") << true << 100.0 << 0.0 << -5.0 << -1;
        QTest::newRow("huge stays bounded") << false << 1e300 << 0.0 << 1e300 << (1 << 28);
    }
    void grandeurToEcran()
    {
        QFETCH(bool, log);
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(double, x);
        QFETCH(int, ecran);
        Tvoie v;
        v.AxeLog = log;
        v.a = a;
        v.b = b;
        QCOMPARE(v.GrandeurToEcran(x), ecran);
    }

    void strValeur_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("unite");
        QTest::addColumn<double>("x");
        QTest::addColumn<QString>("texte");
        for (const QString locale : {"C", "fr_FR"}) {
            const QString p = locale == "C" ? "." : ",";
            const QByteArray l = locale.toLatin1() + ": ";
            // 1234.5 / 1000 is just below 1.2345 in binary; the text still rounds up.
            QTest::newRow(l + "1234.5 Hz") << locale << "Hz" << 1234.5 << "1" + p + "235 kHz";
            QTest::newRow(l + "-0.002 V") << locale << "V" << -0.002 << "-2 mV";
            QTest::newRow(l + "0 V") << locale << "V" << 0.0 << "0 V";
            QTest::newRow(l + "1e30 V") << locale << "V" << 1e30 << "0 V";
            QTest::newRow(l + "0.5, no unit") << locale << "" << 0.5 << "500 m";
            QTest::newRow(l + "degrees") << locale << deg << -45.27 << "-45" + p + "3 " + deg;
            QTest::newRow(l + "degrees, half up") << locale << deg << 12.25 << "12" + p + "3 " + deg;
            QTest::newRow(l + "degrees, whole") << locale << deg << 90.0 << "90" + p + "0 " + deg;
            QTest::newRow(l + "cut after 4 digits") << locale << "V" << 999.5 << "0" + p + "999 kV";
            QTest::newRow(l + "micro") << locale << "s" << 2.2e-6 << "2" + p + "2 " + micro + "s";
            QTest::newRow(l + "rounds to 999") << locale << "V" << 998.96 << "999 V";
            QTest::newRow(l + "NaN") << locale << "V" << NaN << "";
        }
    }
    void strValeur()
    {
        QFETCH(QString, locale);
        QFETCH(QString, unite);
        QFETCH(double, x);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        Tvoie v;
        v.Unite = unite;
        QCOMPARE(v.StrValeur(x), texte);
    }

    void strValeurFixed_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("x");
        QTest::addColumn<QString>("texte");
        QTest::newRow("12.3") << "C" << 12.3 << "12";
        QTest::newRow("-0.4 rounds to 0") << "C" << -0.4 << "0";
        QTest::newRow("-6.02") << "C" << -6.0206 << "-6";
        QTest::newRow("0.0005, one decimal") << "C" << 0.0005 << "0.0";
        QTest::newRow("0.0005, comma") << "fr_FR" << 0.0005 << "0,0";
        QTest::newRow("zero") << "C" << 0.0 << "0";
        QTest::newRow("NaN") << "C" << NaN << "";
        QTest::newRow("-inf") << "C" << -std::numeric_limits<double>::infinity() << "";
    }
    void strValeurFixed()
    {
        QFETCH(QString, locale);
        QFETCH(double, x);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(Tvoie::StrValeurFixed(x), texte);
    }

    void texteArrondi_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("chiffres");
        QTest::addColumn<QString>("texte");
        QTest::newRow("1.2345") << "C" << 1.2345 << 4 << "1.235";
        QTest::newRow("1.2345, comma") << "fr_FR" << 1.2345 << 4 << "1,235";
        QTest::newRow("carry to 10") << "C" << 9.9996 << 4 << "10";
        QTest::newRow("200 (0.2 mV in uV)") << "C" << 200.0 << 4 << "200";
        QTest::newRow("small stays fixed") << "C" << 0.00012345 << 4 << "0.0001235";
        QTest::newRow("smaller goes scientific") << "C" << 2.5e-7 << 4 << "2.5e-07";
        QTest::newRow("too many digits") << "C" << 123456.0 << 4 << "1.235e+05";
        QTest::newRow("negative") << "C" << -0.015 << 1 << "-0.02";
    }
    void texteArrondi()
    {
        QFETCH(QString, locale);
        QFETCH(double, x);
        QFETCH(int, chiffres);
        QFETCH(QString, texte);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(TexteGeneralArrondi(x, chiffres), texte);
    }

    void affVoltmetre()
    {
        Tvoie v;
        v.Nom = "Ve";
        v.Unite = "V";
        v.valeurCourante = 1.2345;
        QCOMPARE(v.AffVoltmetre(), QString("Ve=1.235 V"));
        v.valeurCourante = NaN;
        QCOMPARE(v.AffVoltmetre(), QString("Ve="));
        v.Nom = "G";
        v.AxedB = true;
        v.valeurCourante = 0.5;
        QCOMPARE(v.AffVoltmetre(), QString("G=-6dB"));
        v.valeurCourante = 10;
        QCOMPARE(v.AffVoltmetre(), QString("G=20dB"));
    }
};

QTEST_GUILESS_MAIN(TestVoies)
#include "tst_voies.moc"
