// "ondivar-cli acquire" for the instruments behind the Rigol driver: the simulated Rigol
// and Siglent instruments on loopback TCP and the USBTMC stand-in, the Korvalis stand-in.
#include "bancosc.h"
#include "scope/cliacquire.h"
#include "simengine.h"
#include "simrigol_client.h"

#include <QDir>
#include <cmath>

namespace {

struct Sortie {
    QString out, err;
    int rc = -1;
};

Sortie acquire(const QStringList &args)
{
    Sortie s;
    QTextStream out(&s.out), err(&s.err);
    s.rc = cliAcquire(args, out, err);
    out.flush();
    err.flush();
    return s;
}

const char *kCH1 = "sine,1.5,1000,0,0.25";
const char *kCH2 = "sine,0.8,2000,30,-0.1";

// The rows of numbers of a written or sent text (lines ending in LF or CR LF): each line whose fields (split on sep) are
// all numbers; the header lines and the line styles ("2" alone) are left out.
QList<QList<double>> rangees(const QString &texte, QChar sep)
{
    QList<QList<double>> r;
    for (const QString &ligne : texte.split(QLatin1Char('\n'))) {
        const QStringList champs = ligne.trimmed().split(sep, Qt::SkipEmptyParts);
        if (champs.size() < 2)
            continue;
        QList<double> v;
        for (const QString &c : champs) {
            bool ok = false;
            v << c.trimmed().toDouble(&ok);
            if (!ok) {
                v.clear();
                break;
            }
        }
        if (!v.isEmpty())
            r << v;
    }
    return r;
}

// Largest gap between the rows and the simulated signals (time in column 0).
double ecart(const QList<QList<double>> &rangs, int voies)
{
    SimSignal s[2];
    SimSignal::parse(QString::fromLatin1(kCH1), s[0]);
    SimSignal::parse(QString::fromLatin1(kCH2), s[1]);
    double pire = 0;
    for (const QList<double> &r : rangs) {
        if (r.size() != 1 + voies)
            return INFINITY;
        for (int v = 0; v < voies; ++v)
            pire = std::max(pire, std::fabs(r[1 + v] - s[v].valueAt(r[0])));
    }
    return pire;
}

} // namespace

// One simulated instrument for a test: ports kept off the serial line, the USB folder and
// the VISA resource set for it alone.
class TBancRigol : public TBancOsc {
public:
    bool demarre(const QStringList &args, bool usb)
    {
        QString ports;
        for (int n = 1; n <= 50; ++n)
            ports += QStringLiteral("%1=%2;").arg(n).arg(chemin(QStringLiteral("absent")));
        qputenv("ONDIVAR_PORTS", ports.toLocal8Bit());
        const QString dossierUsb = chemin(QStringLiteral("usb"));
        QDir().mkpath(dossierUsb);
        qputenv("ONDIVAR_USBTMC_DIR", dossierUsb.toLocal8Bit());
        instrument = std::make_unique<SimRigol>(args + QStringList{"--ch1", kCH1, "--ch2", kCH2},
                                                usb ? dossierUsb : QString());
        if (!instrument->ok())
            return false;
        if (usb)
            qunsetenv("ONDIVAR_VISA");
        else
            qputenv("ONDIVAR_VISA", instrument->ressource.toLatin1());
        return true;
    }
    ~TBancRigol() { qunsetenv("ONDIVAR_VISA"); }
    std::unique_ptr<SimRigol> instrument;
};

class TestCliAcquireRigol : public QObject {
    Q_OBJECT
    TDialogueNote note;

private slots:
    void init() { setDialogue(&note); }
    void cleanup() { setDialogue(nullptr); }

    // The file written holds the samples of the simulated signals, reduced to the count
    // asked for the Korvalis file, every sample for the tables.
    void fichier_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("nom");
        QTest::addColumn<int>("voies");
        QTest::addColumn<int>("rangs");
        QTest::addColumn<double>("tolerance");
        // One code of the 8-bit samples is a 25th of a division (0.5 V): 0.02 V.
        QTest::newRow("DS1000E TCP, 600 by default")
            << QStringList{"--model", "DS1000E"} << false << QStringList{} << "page.kvx" << 2 << 600 << 0.025;
        QTest::newRow("DS1000Z TCP, 1200 read for 1024 asked")
            << QStringList{"--model", "DS1000Z"} << false << QStringList{"--points", "1024"} << "page.kvx" << 2 << 1200
            << 0.025;
        QTest::newRow("DS1000Z TCP, 4096 read for 600 asked: step 6")
            << QStringList{"--model", "DS1000Z", "--points", "4096"} << false << QStringList{} << "page.KVX" << 2 << 683
            << 0.025;
        QTest::newRow("DS1000Z TCP, CH2 off")
            << QStringList{"--model", "DS1000Z", "--set2", "disp=0"} << false << QStringList{} << "page.kvx" << 1 << 600
            << 0.025;
        QTest::newRow("Siglent TCP, 1400 read, step 2")
            << QStringList{"--model", "SDS1000X-E"} << false << QStringList{} << "page.kvx" << 2 << 700 << 0.025;
        QTest::newRow("DS1000Z USBTMC")
            << QStringList{"--model", "DS1000Z"} << true << QStringList{"--points", "8192"} << "page.kvx" << 2 << 1200
            << 0.025;
        QTest::newRow("DS1000E USBTMC, CSV table, every sample")
            << QStringList{"--model", "DS1000E"} << true << QStringList{} << "table.csv" << 2 << 600 << 0.025;
        QTest::newRow("DS1000Z TCP, ASCII table, every sample")
            << QStringList{"--model", "DS1000Z"} << false << QStringList{"--points", "600"} << "table.txt" << 2 << 1200
            << 0.025;
        QTest::newRow("Siglent TCP, no extension: Korvalis file")
            << QStringList{"--model", "SDS1000X-E"} << false << QStringList{"--points", "2048"} << "sans" << 2 << 1400
            << 0.025;
    }
    void fichier()
    {
        QFETCH(QStringList, sim);
        QFETCH(bool, usb);
        QFETCH(QStringList, options);
        QFETCH(QString, nom);
        QFETCH(int, voies);
        TBancRigol banc;
        QVERIFY(banc.demarre(sim, usb));
        const Sortie s = acquire(QStringList{"-o", banc.chemin(nom), "--nom1", "Ue", "--nom2", "Us"} + options);
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        const QString ecrit = QFileInfo(nom).suffix().isEmpty() ? nom + QStringLiteral(".KVX") : nom;
        QFile f(banc.chemin(ecrit));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(s.err));
        const QString texte = QString::fromLatin1(f.readAll());
        const QString ext = QFileInfo(ecrit).suffix().toLower();
        QChar sep = QLatin1Char(' ');
        if (ext == QLatin1String("kvx")) {
            QVERIFY(texte.startsWith(QStringLiteral("QUINTARE KORVALIS WINDOWS 1.0\r\n")));
            const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("\r\n&(\\d+) VALEUR VAR\r\n")).match(texte);
            QVERIFY(m.hasMatch());
            QTEST(m.captured(1).toInt(), "rangs");
        } else {
            QVERIFY(texte.startsWith(QStringLiteral("Acquisition par ")));
            sep = ext == QLatin1String("csv") ? QLatin1Char(',') : QLatin1Char('\t');
        }
        QVERIFY(texte.contains(QStringLiteral("Ue")));
        QCOMPARE(texte.contains(QStringLiteral("Us")), voies == 2);
        const QList<QList<double>> r = rangees(texte, sep);
        QTEST(int(r.size()), "rangs");
        QFETCH(double, tolerance);
        const double pire = ecart(r, voies);
        QVERIFY2(pire < tolerance, qPrintable(QString::number(pire)));
    }

    // The transfer text reaches Korvalis: a new file carries the line styles, an added
    // page none.
    void envoiKorvalis_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<QString>("ordre");
        QTest::addColumn<QByteArray>("macro");
        QTest::addColumn<int>("rangs");
        QTest::newRow("DS1000Z TCP, new file") << QStringList{"--model", "DS1000Z"} << false << "load"
                                              << QByteArray("CLIP|LOAD") << 600;
        QTest::newRow("Siglent TCP, new page") << QStringList{"--model", "SDS1000X-E"} << false << "add"
                                              << QByteArray("CLIP|ADD") << 700;
        QTest::newRow("DS1000E USBTMC, new file") << QStringList{"--model", "DS1000E"} << true << "load"
                                                 << QByteArray("CLIP|LOAD") << 600;
    }
    void envoiKorvalis()
    {
        QFETCH(QStringList, sim);
        QFETCH(bool, usb);
        QFETCH(QString, ordre);
        TBancRigol banc;
        QVERIFY(banc.demarre(sim, usb));
        QVERIFY(banc.demarreStub());
        const Sortie s = acquire({"--korvalis", ordre});
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        QTEST(banc.enregistre(QStringLiteral("macro-001.txt")), "macro");
        const QString texte = QString::fromUtf8(banc.enregistre(QStringLiteral("presse-papiers-001.txt")));
        QVERIFY(texte.contains(QStringLiteral("t\tVA\tVB\r\n")));
        QCOMPARE(texte.contains(QStringLiteral("&2 LIGNE\r\n2\r\n2\r\n")), ordre == QLatin1String("load"));
        const QList<QList<double>> r = rangees(texte, QLatin1Char('\t'));
        QTEST(int(r.size()), "rangs");
        QVERIFY2(ecart(r, 2) < 0.025, qPrintable(QString::number(ecart(r, 2))));
    }

    // CH2's waveform cut short: the page holds CH1 whole, and the exit code says the read
    // was incomplete. CH1 cut short: nothing is written.
    void lectureIncomplete_data()
    {
        QTest::addColumn<QStringList>("sim");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("message");
        QTest::newRow("DS1000Z, CH2 cut") << QStringList{"--model", "DS1000Z", "--fault", "truncate", "--fault-after", "2"}
                                          << 3 << "Lecture incomplète : CH2 affichée par l'oscilloscope n'a pas pu être lue";
        QTest::newRow("Siglent, CH2 cut") << QStringList{"--model", "SDS1000X-E", "--fault", "truncate", "--fault-after", "2"}
                                          << 3 << "Lecture incomplète : CH2 affichée par l'oscilloscope n'a pas pu être lue";
        QTest::newRow("DS1000Z, CH1 cut") << QStringList{"--model", "DS1000Z", "--fault", "truncate"} << 1
                                          << "Aucun enregistrement lu : rien n'est écrit ni envoyé.";
    }
    void lectureIncomplete()
    {
        QFETCH(QStringList, sim);
        QFETCH(int, rc);
        QFETCH(QString, message);
        TBancRigol banc;
        QVERIFY(banc.demarre(sim, false));
        const QString nom = banc.chemin(QStringLiteral("page.kvx"));
        const Sortie s = acquire({"-o", nom});
        QCOMPARE(s.rc, rc);
        QVERIFY2(s.err.contains(message), qPrintable(s.err));
        QFile f(nom);
        QCOMPARE(f.exists(), rc == 3);
        if (rc == 3) {
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString texte = QString::fromLatin1(f.readAll());
            QVERIFY(!texte.contains(QStringLiteral("\r\nVB\r\n")));
            const QList<QList<double>> r = rangees(texte, QLatin1Char(' '));
            QVERIFY(r.size() >= 600);
            QVERIFY2(ecart(r, 1) < 0.025, qPrintable(QString::number(ecart(r, 1))));
        }
    }

    // The options that mean nothing for these instruments, and the counts they do not offer.
    void refus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("points") << QStringList{"--points", "1000"}
                                << "Nombre de points refusé : 1000. Pour Rigol Visa, choisir parmi : 600, 1024, 2048, 4096, 8192.";
        QTest::newRow("lecture figer") << QStringList{"--lecture", "figer"} << "L'option --lecture figer est refusée pour Rigol Visa : ";
        QTest::newRow("periode") << QStringList{"--enregistrement", "periode"}
                                 << "L'option --enregistrement periode est refusée pour Rigol Visa";
        QTest::newRow("demi-periode") << QStringList{"--enregistrement", "demi-période"}
                                      << "L'option --enregistrement demi-periode est refusée pour Rigol Visa";
        QTest::newRow("commentaire") << QStringList{"--commentaire", "Essai"} << "L'option --commentaire est refusée pour Rigol Visa : la page de cet oscilloscope n'a pas de commentaire général.";
        QTest::newRow("parametre") << QStringList{"--parametre", "R:Ω:1000"} << "L'option --parametre est refusée pour Rigol Visa";
    }
    void refus()
    {
        QFETCH(QStringList, args);
        TBancRigol banc;
        QVERIFY(banc.demarre({"--model", "DS1000Z"}, false));
        const Sortie s = acquire(QStringList{"-o", banc.chemin(QStringLiteral("x.kvx"))} + args);
        QCOMPARE(s.rc, 2);
        QFETCH(QString, message);
        QVERIFY2(s.err.contains(message), qPrintable(s.err));
        QVERIFY(!QFile::exists(banc.chemin(QStringLiteral("x.kvx"))));
    }

    // The options kept by these instruments are accepted as the default they are.
    void optionsParDefaut()
    {
        TBancRigol banc;
        QVERIFY(banc.demarre({"--model", "DS1000E"}, false));
        const QString nom = banc.chemin(QStringLiteral("p.kvx"));
        const Sortie s = acquire({"-o", nom, "--lecture", "directe", "--enregistrement", "totalite"});
        QVERIFY2(s.rc == 0, qPrintable(s.err));
        QVERIFY(QFile::exists(nom));
    }
};

QTEST_MAIN(TestCliAcquireRigol)
#include "tst_cliacquirerigol.moc"
