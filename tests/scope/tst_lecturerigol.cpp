// The read of the instruments behind the Rigol driver, through its view, against the
// simulated instruments on loopback TCP.
#include "drivers/pilotes.h"
#include "link/types.h"
#include "measure/unites.h"
#include "scope/lecturerigol.h"
#include "simrigol_client.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records what the read shows.
struct TVueNotee : IVueLectureRigol {
    QStringList messages;
    QList<QPair<bool, bool>> voies;
    void message(const QString &texte) override { messages << texte; }
    void voiesActives(bool a, bool b) override { voies << qMakePair(a, b); }
};

} // namespace

class TestLectureRigol : public QObject {
    Q_OBJECT
    QTemporaryDir dossier;
    std::unique_ptr<SimRigol> sim;

    bool ouvre(const QStringList &args)
    {
        sim = std::make_unique<SimRigol>(args + QStringList{"--echo-log", journal()});
        if (!sim->ok())
            return false;
        qputenv("ONDIVAR_VISA", sim->ressource.toLatin1());
        QString ident;
        bool siglent = false;
        if (!RechercheRigolVisa(ident, siglent))
            return false;
        constructeur = siglent ? oSiglent : oRigolVisa;
        return true;
    }
    QString journal() const { return dossier.filePath(QStringLiteral("commandes.txt")); }
    // The last command line the instrument received (the log follows the sends a moment later).
    bool dernierePour(const QByteArray &attendu) const
    {
        const QList<QByteArray> c = commandes();
        return !c.isEmpty() && c.last().contains(attendu);
    }
    QList<QByteArray> commandes() const
    {
        QFile f(journal());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QList<QByteArray> l;
        for (const QByteArray &ligne : f.readAll().split('\n'))
            if (!ligne.trimmed().isEmpty())
                l << ligne.trimmed();
        return l;
    }

private slots:
    void initTestCase()
    {
        qputenv("ONDIVAR_CONFIG", dossier.filePath(QStringLiteral("Ondivar.ini")).toLocal8Bit());
        qputenv("ONDIVAR_USBTMC_DIR", dossier.filePath(QStringLiteral("sans-usb")).toLocal8Bit());
    }
    void init() { CreePilotesRigol(); }
    void cleanup()
    {
        LiberePilotesRigol();
        sim.reset();
        QFile::remove(journal());
    }

    // A whole read: the boxes follow the channels, XY is left for the read and given back,
    // the front panel is given back last.
    void lecture_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("xy");
        QTest::addColumn<bool>("ch2");
        QTest::addColumn<int>("lus");
        QTest::newRow("DS1000E") << QStringList{"--model", "DS1000E"} << false << true << 600;
        QTest::newRow("DS1000Z in XY") << QStringList{"--model", "DS1000Z"} << true << true << 1200;
        QTest::newRow("DS1000Z CH2 off") << QStringList{"--model", "DS1000Z", "--set2", "disp=0"} << false << false << 1200;
        QTest::newRow("Siglent") << QStringList{"--model", "SDS1000X-E"} << false << true << 1400;
    }
    void lecture()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, xy);
        QFETCH(bool, ch2);
        QFETCH(int, lus);
        QVERIFY(ouvre(args));
        if (xy)
            Rigol->Ecrit(":TIM:FORM XY");
        TVueNotee vue;
        const TResultatLectureRigol r = LitRigol(*Rigol, &vue);
        QVERIFY2(r.reussie(), qPrintable(r.erreur));
        QCOMPARE(vue.messages, xy ? QStringList{QStringLiteral("Vérifier la non saturation des voies")} : QStringList{});
        QCOMPARE(vue.voies.last(), qMakePair(true, ch2));
        QCOMPARE(r.NbrePointsLu, lus);
        QCOMPARE(r.nbreLusValides(), lus);
        QTRY_VERIFY(dernierePour("KEY:LOCK DIS"));
        const QList<QByteArray> c = commandes();
        if (xy) {
            const qsizetype yt = c.indexOf(":TIM:FORM YT");
            const qsizetype retour = c.lastIndexOf(":TIM:FORM XY");
            const qsizetype donnees = c.indexOf(":WAV:DATA? CHAN1");
            QVERIFY(yt >= 0 && donnees > yt && retour > donnees);
        }
        const TEnregistrement e = EnregistrementRigol(*Rigol, r.NbrePointsLu, "VA", "Tension", "VB", "Tension");
        QCOMPARE(int(e.voies.size()), ch2 ? 2 : 1);
    }

    // A failure is shown through the view and ends the read; what was read whole is told.
    void echec_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("avant");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("voie");
        QTest::addColumn<int>("valides");
        QTest::newRow("delayed") << QStringList{"--model", "DS1000E"} << QByteArray(":TIM:MODE DEL")
                                 << "Acquisition impossible en mode delayed" << 0 << 0;
        QTest::newRow("CH2 cut") << QStringList{"--model", "DS1000Z", "--fault", "truncate", "--fault-after", "2"}
                                 << QByteArray() << QString() << 2 << 1200;
        QTest::newRow("CH1 cut") << QStringList{"--model", "DS1000Z", "--fault", "truncate"} << QByteArray() << QString()
                                 << 1 << 0;
    }
    void echec()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, avant);
        QFETCH(QString, message);
        QVERIFY(ouvre(args));
        if (!avant.isEmpty())
            Rigol->Ecrit(avant);
        TVueNotee vue;
        const TResultatLectureRigol r = LitRigol(*Rigol, &vue);
        QVERIFY(!r.reussie());
        QCOMPARE(vue.messages, QStringList{r.erreur});
        if (!message.isEmpty())
            QCOMPARE(r.erreur, message);
        QTEST(r.voieEchouee, "voie");
        QTEST(r.nbreLusValides(), "valides");
        // The channel that failed is not ticked; the front panel is given back all the same.
        QCOMPARE(vue.voies.last(), qMakePair(r.voieEchouee == 2, false));
        QTRY_VERIFY(dernierePour("KEY:LOCK DIS"));
        if (r.voieEchouee == 2) {
            QVERIFY(r.NbrePointsLu < 1200);   // the driver keeps the count of the cut CH2
            const TEnregistrement e = EnregistrementRigol(*Rigol, r.nbreLusValides(), "VA", "Tension", "VB", "Tension",
                                                          r.voieEchouee);
            QCOMPARE(int(e.voies.size()), 1);
            QCOMPARE(e.voies.first().numero, 1);
        }
    }
};

QTEST_MAIN(TestLectureRigol)
#include "tst_lecturerigol.moc"
