#include "measure/unites.h"

#include <QtTest>
#include <cmath>

class TestUnites : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void formatNumber_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("1234.5") << 1234.5 << "1.23450E+3";
        QTest::newRow("-0.001") << -0.001 << "-1.00000E-3";
        QTest::newRow("0") << 0.0 << "0.00000E+0";
        QTest::newRow("1e-300") << 1e-300 << "1.00000E-300";
    }
    void formatNumber()
    {
        QFETCH(double, v);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QLocale::French));
        QCOMPARE(FormatNumber(v), text);   // "." whatever the locale
        QLocale::setDefault(QLocale::c());
    }

    void formatPrefixed_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("unite");
        QTest::addColumn<QString>("text");
        QTest::newRow("kV") << 1500.0 << "V" << "1.5 kV";
        QTest::newRow("mV") << 0.02 << "V" << "20 mV";
        QTest::newRow("zero") << 0.0 << "V" << "0 V";
        QTest::newRow("plain") << 2.5 << "V" << "2.5 V";
        QTest::newRow("underflow") << 1e-30 << "V" << "0 V";
        QTest::newRow("negative") << -0.0015 << "s" << "-1.5 ms";
        QTest::newRow("NaN") << std::nan("") << "V" << " ";
    }
    void formatPrefixed()
    {
        QFETCH(double, v);
        QFETCH(QString, unite);
        QFETCH(QString, text);
        QCOMPARE(FormatPrefixed(v, unite), text);
    }

    void formatU_data()
    {
        QTest::addColumn<QString>("symbole");
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("text");
        QTest::newRow("mV") << "V" << 0.0234 << "23.4mV";
        QTest::newRow("0V") << "V" << 0.0 << "0V";
        QTest::newRow("degrees") << QString(QChar(0xB0)) << 123.4 << QString("123.4") + QChar(0xB0);
        QTest::newRow("threshold") << "V" << 999.5 << "0.9995kV";
        QTest::newRow("micro") << "s" << 5e-6 << QString("5") + QChar(0xB5) + "s";
    }
    void formatU()
    {
        QFETCH(QString, symbole);
        QFETCH(double, v);
        QFETCH(QString, text);
        Tunite u;
        u.setUnite(symbole);
        QCOMPARE(u.formatU(v), text);
    }

    void complexAngle_data()
    {
        QTest::addColumn<double>("re");
        QTest::addColumn<double>("im");
        QTest::addColumn<double>("deg");
        QTest::newRow("-1,0") << -1.0 << 0.0 << 180.0;
        QTest::newRow("-1,-eps") << -1.0 << -0.0001 << -179.99427042;
        QTest::newRow("0,-2") << 0.0 << -2.0 << -90.0;
        QTest::newRow("1,1") << 1.0 << 1.0 << 45.0;
    }
    void complexAngle()
    {
        QFETCH(double, re);
        QFETCH(double, im);
        QFETCH(double, deg);
        angleEnDegre = true;
        QVERIFY(std::fabs(ComplexAngle(re, im) - deg) < 1e-6);
        angleEnDegre = false;
        QVERIFY(std::fabs(ComplexAngle(re, im) - deg * M_PI / 180) < 1e-8);
        QCOMPARE(FullTurn(), 6.283185307179586);
        angleEnDegre = true;
        QVERIFY_THROWS_EXCEPTION(std::domain_error, ComplexAngle(0, 0));
    }

    void floorValue()
    {
        QCOMPARE(FloorValue(2.7), 2.0);
        QCOMPARE(FloorValue(-2.5), -3.0);
        QCOMPARE(FloorValue(-3.0), -3.0);
        QVERIFY(std::isnan(FloorValue(std::nan(""))));
    }

    void elapsed()
    {
        const MarqueTemps m = MarqueMaintenant();
        QTest::qSleep(30);
        const double s = ElapsedSeconds(m);
        QVERIFY(s >= 0.029);
    }
};

QTEST_MAIN(TestUnites)
#include "tst_unites.moc"
