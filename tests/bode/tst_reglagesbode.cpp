// The Bode settings file: keys read whatever their case, the twelve keys written in their
// order and names, the rest of the file kept, and a failed write that leaves the file whole.
#include "bode/reglagesbode.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

class TestReglagesBode : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void lecture_data()
    {
        QTest::addColumn<QString>("texte");
        QTest::newRow("names") << QStringLiteral(
            "[Constante]\r\nNom=R\r\nUnite=kΩ\r\n[Bode]\r\nMaxiF=20000\r\nMiniF=50\r\nLogX=0\r\nMaxiGain=100\r\n"
            "MiniGain=0.5\r\nCouleurG=16711680\r\nLogY=0\r\nCouleurP=255\r\nDegre=0\r\nMaxiPhase=3.15\r\n"
            "MiniPhase=-3.15\r\nRef=2\r\n");
        QTest::newRow("other case") << QStringLiteral(
            "[constante]\nNOM=R\nunite=kΩ\n[BODE]\nmaxif=20000\nMINIF=50\nlogx=0\nmaxigain=100\n"
            "MINIGAIN=0.5\ncouleurg=16711680\nlogy=0\ncouleurp=255\nDEGRE=0\nmaxiphase=3.15\n"
            "miniphase=-3.15\nREF=2\n");
    }
    void lecture()
    {
        QFETCH(QString, texte);
        TReglagesBode r;
        LitReglagesBode(texte, r);
        QCOMPARE(r.nomConstante, QStringLiteral("R"));
        QCOMPARE(r.uniteConstante, QStringLiteral("kΩ"));
        QCOMPARE(r.maxiF, 20000.0);
        QCOMPARE(r.miniF, 50.0);
        QCOMPARE(r.logX, false);
        QCOMPARE(r.maxiGain, 100.0);
        QCOMPARE(r.miniGain, 0.5);
        QCOMPARE(r.couleurG, 16711680u);
        QCOMPARE(r.logY, false);
        QCOMPARE(r.couleurP, 255u);
        QCOMPARE(r.degre, false);
        QCOMPARE(r.maxiPhase, 3.15);
        QCOMPARE(r.miniPhase, -3.15);
        QCOMPARE(r.ref, 2);
    }

    // Missing or unreadable keys keep the values in force; a decibel axis lifts a tiny minimum.
    void valeursGardees()
    {
        TReglagesBode r;
        r.maxiF = 5000;
        LitReglagesBode(QStringLiteral("[Bode]\nMaxiF=abc\nRef=3\nCouleurG=-1\nMiniGain=0.000001\nLogY=1\n"), r);
        QCOMPARE(r.maxiF, 5000.0);
        QCOMPARE(r.ref, 1);
        QCOMPARE(r.couleurG, 0x0000FFu);
        QCOMPARE(r.miniGain, 0.01);
        LitReglagesBode(QString(), r);
        QCOMPARE(r.maxiF, 5000.0);
    }

    // The user's locale: a decimal comma written and read back.
    void localeDeLUtilisateur()
    {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        TReglagesBode r;
        r.miniGain = 0.25;
        const QString texte = EcritReglagesBode(QString(), r);
        QVERIFY2(texte.contains(QStringLiteral("MiniGain=0,25\r\n")), qPrintable(texte));
        TReglagesBode l;
        LitReglagesBode(texte, l);
        QCOMPARE(l.miniGain, 0.25);
    }

    void ecriture()
    {
        TReglagesBode r;
        r.maxiF = 20000;
        r.logX = false;
        r.ref = 2;
        const QString existant = QStringLiteral("[Constante]\r\nNom=R\r\n[bode]\r\nmaxif=1\r\nAutre=7\r\nCOULEURG=3\r\n\r\n"
                                                "[Divers]\r\nCle=v\r\n");
        QCOMPARE(EcritReglagesBode(existant, r),
                 QStringLiteral("[Constante]\r\nNom=R\r\n[bode]\r\nAutre=7\r\nMaxiF=20000\r\nMiniF=100\r\nLogX=0\r\n"
                                "MaxiGain=10\r\nMiniGain=0.1\r\ncouleurG=255\r\nlogY=1\r\ncouleurP=32768\r\nDegre=1\r\n"
                                "MaxiPhase=180\r\nMiniPhase=-180\r\nRef=2\r\n\r\n[Divers]\r\nCle=v\r\n"));
        // A new file: the section alone, "Constante" never written even with a parameter name.
        r.nomConstante = QStringLiteral("R");
        const QString neuf = EcritReglagesBode(QString(), r);
        QVERIFY(neuf.startsWith(QStringLiteral("[Bode]\r\nMaxiF=20000\r\n")));
        QVERIFY(!neuf.contains(QStringLiteral("Constante")));
    }

    void fichier()
    {
        QTemporaryDir d;
        const QString nom = d.filePath(QStringLiteral("ondivar.INI"));
        TReglagesBode r;
        r.maxiGain = 42;
        QVERIFY(SauveReglagesBode(nom, r));
        TReglagesBode l;
        ChargeReglagesBode(nom, l);
        QCOMPARE(l.maxiGain, 42.0);
        // A write that cannot be made leaves the previous file as it was.
        QFile f(nom);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray avant = f.readAll();
        f.close();
        QFile::setPermissions(d.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        r.maxiGain = 7;
        const bool ecrit = SauveReglagesBode(nom, r);
        QFile::setPermissions(d.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // A folder that cannot be made at all.
        QVERIFY(!SauveReglagesBode(QStringLiteral("/proc/ondivar-absent/ondivar.INI"), r));
        if (ecrit)
            QSKIP("the folder stays writable (run as root)");
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), avant);
    }
};

QTEST_GUILESS_MAIN(TestReglagesBode)
#include "tst_reglagesbode.moc"
