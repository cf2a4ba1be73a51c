// The block readers on in-memory replies: framing, sample formats, the announced counts,
// the buffer's limit and the replies that cannot complete.
#include "measure/partage.h"
#include "scope/lecteurbloc.h"
#include "scope/voieosc.h"

#include <QtTest>
#include <cmath>

namespace {
// A reader that records what it asks its owner to show.
class Lecteur : public TLecteurBloc {
public:
    QStringList messages, traces;
    int entetes = 0;
protected:
    void enTeteLu() override { ++entetes; }
    void nombreDePoints(qint64 n) override { messages << QStringLiteral("Nombre de points = ") + QString::number(n); }
    void traceLecteur(const QString &l) override { traces << l; }
};

QByteArray octets(std::initializer_list<int> l)
{
    QByteArray b;
    for (int v : l)
        b.append(char(v));
    return b;
}

QByteArray ieee(const QByteArray &data) { return "#" + QByteArray::number(QByteArray::number(data.size()).size()) + QByteArray::number(data.size()) + data; }

// Feeds the reply in pieces of `pas` bytes, each piece one notification.
void nourrit(TLecteurBloc &l, const QByteArray &r, int pas)
{
    for (qsizetype i = 0; i < r.size(); i += pas)
        l.lit(r.constData() + i, std::min<qsizetype>(pas, r.size() - i));
}
} // namespace

Q_DECLARE_METATYPE(TLecteur)

class TestLecteur : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void comptesAnnonces_data();
    void comptesAnnonces();
    void blocsInutilisables_data();
    void blocsInutilisables();
    void limiteDuTampon_data();
    void limiteDuTampon();
    void periodeDeGDS();
    void periodeInutilisable_data();
    void periodeInutilisable();
    void traceGDS2000();
    void valeursPhysiques();
};

void TestLecteur::formats_data()
{
    QTest::addColumn<TLecteur>("lecteur");
    QTest::addColumn<QByteArray>("reponse");
    QTest::addColumn<int>("nombre");
    QTest::addColumn<int>("premier");
    QTest::addColumn<int>("zeros");
    const QByteArray gdsTete = octets({0, 0, 0x80, 0x3F, 1, 0, 0, 0});
    QTest::newRow("agilent low first") << TLecteur::agilent << ieee(octets({0x34, 0x12, 0, 0})) + "\r\n" << 2 << 4660 << 1;
    QTest::newRow("hewlett bytes") << TLecteur::hewlett << "\n\x05X" + ieee(octets({200, 0, 7})) + "\n" << 3 << 200 << 1;
    QTest::newRow("sefram signed low first") << TLecteur::sefram << QByteArray("WV0012CH1 WORD") + octets({0xFE, 0xFF, 3, 0}) << 2 << -2 << 0;
    QByteArray g8 = "#14" + gdsTete + octets({0x12, 0x34, 0xFF, 0xFE});
    QTest::newRow("gds800 high first") << TLecteur::gds800 << g8 << 2 << 4660 << 0;
    QByteArray fi = "#14" + gdsTete + octets({0x34, 0x12, 0, 0});
    QTest::newRow("fi low first") << TLecteur::fi << fi << 2 << 4660 << 1;
    QTest::newRow("gds2000 signed high first") << TLecteur::gds2000 << QByteArray("Format,1.0B;Waveform Data;") + ieee(octets({0xFF, 0xFE, 0, 0})) << 2 << -2 << 0;
    QTest::newRow("rigol count little-endian") << TLecteur::rigol << octets({3, 0, 0, 0, 125, 0, 255}) << 3 << 125 << 0;
}

void TestLecteur::formats()
{
    QFETCH(TLecteur, lecteur);
    QFETCH(QByteArray, reponse);
    QFETCH(int, nombre);
    QFETCH(int, premier);
    QFETCH(int, zeros);
    // Whole reply in one notification, then one byte per notification: same result.
    for (int pas : {int(reponse.size()), 1}) {
        Lecteur l;
        l.NbrePoints = nombre;
        l.arme(lecteur, 1);
        nourrit(l, reponse, pas);
        QVERIFY(l.AcqFaite);
        QCOMPARE(l.NbrePointsLu, nombre);
        QCOMPARE(l.Voie[1].Valeur[0], premier);
        QCOMPARE(l.NbreZero, zeros);
        QCOMPARE(l.entetes, 1);
    }
    Lecteur l;
    l.arme(lecteur, 2);
    nourrit(l, reponse.left(reponse.size() - 3), 5);
    QVERIFY(!l.AcqFaite);
}

void TestLecteur::comptesAnnonces_data()
{
    QTest::addColumn<TLecteur>("lecteur");
    QTest::addColumn<int>("octetsDonnees");
    QTest::addColumn<int>("demandes");
    QTest::addColumn<int>("lus");
    QTest::addColumn<bool>("message");
    QTest::newRow("agilent 4000 bytes, 2000 asked") << TLecteur::agilent << 4000 << 2000 << 2000 << false;
    QTest::newRow("agilent 4000 bytes, 1000 asked") << TLecteur::agilent << 4000 << 1000 << 2000 << true;
    QTest::newRow("hewlett 1000, 2000 asked") << TLecteur::hewlett << 1000 << 2000 << 1000 << true;
    QTest::newRow("gds800 says it") << TLecteur::gds800 << 5000 << 12500 << 2500 << true;
    QTest::newRow("fi does not") << TLecteur::fi << 5000 << 12500 << 2500 << false;
    QTest::newRow("gds2000 does not") << TLecteur::gds2000 << 5000 << 500 << 2500 << false;
}

void TestLecteur::comptesAnnonces()
{
    QFETCH(TLecteur, lecteur);
    QFETCH(int, octetsDonnees);
    QFETCH(int, demandes);
    QFETCH(int, lus);
    QFETCH(bool, message);
    Lecteur l;
    l.NbrePoints = demandes;
    l.arme(lecteur, 1);
    QByteArray data(octetsDonnees, '\x01');
    QByteArray r = lecteur == TLecteur::agilent ? "#8" + QByteArray::number(octetsDonnees).rightJustified(8, '0') + data : ieee(data);
    if (lecteur == TLecteur::gds800 || lecteur == TLecteur::fi)
        r.insert(r.indexOf('#') + 2 + QByteArray::number(octetsDonnees).size(), QByteArray(8, '\0'));
    if (lecteur == TLecteur::agilent)
        QVERIFY(r.startsWith("#800004000"));
    nourrit(l, r, 333);
    QVERIFY(l.AcqFaite);
    QCOMPARE(l.NbrePointsLu, lus);
    QCOMPARE(l.DureeMax, lus / 250 + 2);
    QCOMPARE(l.messages, message ? QStringList{QStringLiteral("Nombre de points = ") + QString::number(lus)} : QStringList{});
}

void TestLecteur::blocsInutilisables_data()
{
    QTest::addColumn<TLecteur>("lecteur");
    QTest::addColumn<QByteArray>("reponse");
    QTest::newRow("#0 undefined length") << TLecteur::hewlett << QByteArray("#0") + QByteArray(100, 'a') + "\n";
    QTest::newRow("count digits not digits") << TLecteur::agilent << QByteArray("#4AB12") + QByteArray(100, 'a');
    QTest::newRow("non-digit after #") << TLecteur::hewlett << QByteArray("#x1234") + QByteArray(100, 'a');
    QTest::newRow("empty block") << TLecteur::hewlett << QByteArray("#10\r\n#12ab");
    QTest::newRow("sefram count not decimal") << TLecteur::sefram << QByteArray("WV12A4CH1 WORD") + QByteArray(100, 'a');
    QTest::newRow("sefram too small") << TLecteur::sefram << QByteArray("WV0006CH1 WORD") + QByteArray(100, 'a');
    QTest::newRow("rigol zero count") << TLecteur::rigol << octets({0, 0, 0, 0, 9, 9});
    QTest::newRow("rigol negative count") << TLecteur::rigol << octets({0xFF, 0xFF, 0xFF, 0xFF, 9, 9});
}

void TestLecteur::blocsInutilisables()
{
    QFETCH(TLecteur, lecteur);
    QFETCH(QByteArray, reponse);
    Lecteur l;
    l.arme(lecteur, 1);
    nourrit(l, reponse, 7);
    QVERIFY(!l.AcqFaite);
    QCOMPARE(l.echantillonsRecus(), 0);
}

void TestLecteur::limiteDuTampon_data()
{
    QTest::addColumn<TLecteur>("lecteur");
    QTest::addColumn<int>("echantillons");
    QTest::addColumn<int>("gardes");
    QTest::newRow("gds2000 100000 bytes") << TLecteur::gds2000 << 50000 << 32768;
    QTest::newRow("hewlett 80000 bytes") << TLecteur::hewlett << 80000 << TailleVoie;
    QTest::newRow("agilent 40000 samples") << TLecteur::agilent << 40000 << TailleVoie;
    QTest::newRow("rigol 40000") << TLecteur::rigol << 40000 << TailleVoie;
}

void TestLecteur::limiteDuTampon()
{
    QFETCH(TLecteur, lecteur);
    QFETCH(int, echantillons);
    QFETCH(int, gardes);
    Lecteur l;
    l.arme(lecteur, 2);
    const int largeur = lecteur == TLecteur::hewlett || lecteur == TLecteur::rigol ? 1 : 2;
    QByteArray data(qsizetype(echantillons) * largeur, '\x02');
    QByteArray r;
    if (lecteur == TLecteur::rigol) {
        const quint32 n = quint32(echantillons);
        r = octets({int(n & 0xff), int((n >> 8) & 0xff), int((n >> 16) & 0xff), int(n >> 24)}) + data;
    } else {
        r = ieee(data);
    }
    // The vector never grows: a write past its end would show under the sanitizers.
    nourrit(l, r, 4096);
    QVERIFY(l.AcqFaite);
    QCOMPARE(l.NbrePointsLu, gardes);
    QCOMPARE(l.echantillonsRecus(), echantillons);
    QCOMPARE(int(l.Voie[2].Valeur.size()), TailleVoie);
    QCOMPARE(l.Voie[2].Valeur[size_t(gardes - 1)], largeur == 1 ? 2 : (lecteur == TLecteur::agilent ? 0x0202 : 0x0202));
}

void TestLecteur::periodeDeGDS()
{
    // The float of the GDS800/1000 block, the "Sampling Period" field of the GDS2000 header.
    Lecteur a;
    a.Voie[0].increment = 5e-6;
    a.arme(TLecteur::gds800, 1);
    const QByteArray ra = "#12" + octets({0x00, 0x00, 0x80, 0x3F}) + QByteArray(4, '\0') + octets({0, 1});
    a.lit(ra.constData(), ra.size());
    QVERIFY(a.AcqFaite);
    QCOMPARE(a.Voie[0].increment, 1.0);

    struct Cas { QByteArray entete; double attendu; };
    const Cas cas[] = {
        {"Format,1.0B;Memory Length,1;Sampling Period,2.000e-06;Waveform Data;", 2e-6},
        {"Format,1.0B;Memory Length,1;Waveform Data;", 7e-3},        // field absent: value before
        {"Sampling Period,abc;", 7e-3},                              // not a number: value before
        {"\x01\x02noise;Sampling Period,5e-9", 5e-9},                // control bytes are dropped
    };
    for (const Cas &c : cas) {
        Lecteur l;
        l.Voie[0].increment = 7e-3;
        l.arme(TLecteur::gds2000, 1);
        const QByteArray r = c.entete + ieee(octets({0, 1}));
        l.lit(r.constData(), r.size());
        QVERIFY(l.AcqFaite);
        QCOMPARE(l.Voie[0].increment, c.attendu);
    }
    // Rigol: 12 divisions of the time base over the N samples.
    baseDeTemps = 1e-3;
    Lecteur r;
    r.arme(TLecteur::rigol, 1);
    r.lit(octets({0, 4, 0, 0}).constData(), 4);
    QCOMPARE(r.Voie[0].increment, 12e-3 / 1024);
}

// A period that is no positive number would make every time of the record NaN or
// backwards: the time-base value read before the transfer stays.
void TestLecteur::periodeInutilisable_data()
{
    QTest::addColumn<TLecteur>("lecteur");
    QTest::addColumn<QByteArray>("reponse");
    const QByteArray donnees = QByteArray(4, '\0') + octets({0, 1});
    QTest::newRow("gds800 NaN") << TLecteur::gds800 << "#12" + octets({0x00, 0x00, 0xC0, 0x7F}) + donnees;
    QTest::newRow("gds800 infinity") << TLecteur::gds800 << "#12" + octets({0x00, 0x00, 0x80, 0x7F}) + donnees;
    QTest::newRow("gds800 zero") << TLecteur::gds800 << "#12" + octets({0, 0, 0, 0}) + donnees;
    QTest::newRow("fi negative") << TLecteur::fi << "#12" + octets({0x00, 0x00, 0x80, 0xBF}) + donnees;
    QTest::newRow("gds2000 negative") << TLecteur::gds2000 << "Sampling Period,-2e-6;" + ieee(octets({0, 1}));
    QTest::newRow("gds2000 zero") << TLecteur::gds2000 << "Sampling Period,0;" + ieee(octets({0, 1}));
    QTest::newRow("gds2000 INF") << TLecteur::gds2000 << "Sampling Period,INF;" + ieee(octets({0, 1}));
}
void TestLecteur::periodeInutilisable()
{
    QFETCH(TLecteur, lecteur);
    QFETCH(QByteArray, reponse);
    Lecteur l;
    l.Voie[0].increment = 5e-6;
    l.arme(lecteur, 1);
    l.lit(reponse.constData(), reponse.size());
    QVERIFY(l.AcqFaite);
    QCOMPARE(l.Voie[0].increment, 5e-6);
}

void TestLecteur::traceGDS2000()
{
    Lecteur l;
    l.avecTrace = true;
    l.arme(TLecteur::gds2000, 1);
    QByteArray data;
    for (int k = 0; k < 2500; ++k)
        data += octets({(k >> 8) & 0xff, k & 0xff});
    const QByteArray r = "Sampling Period,1e-6;Source,CH1;" + ieee(data);
    nourrit(l, r, 1000);
    const QStringList lignes = l.traces.filter(QRegularExpression("^(1000|2000)\t"));
    QCOMPARE(lignes.size(), 2);
    // The first notification past 1000 samples ends at sample 1481 (bytes 1000 to 2999).
    QCOMPARE(lignes[0], QStringLiteral("1000\t1476\t1477\t1478\t1479\t1480"));
    QVERIFY(lignes[1].startsWith("2000\t"));
    QVERIFY(l.traces.contains(QStringLiteral("Nbre=5000")));
    QVERIFY(l.traces.contains(QStringLiteral("Sampling Period,1e-6=1e-06")));
}

void TestLecteur::valeursPhysiques()
{
    TvoieOsc v(1);
    QCOMPARE(v.increment, 0.04);
    QCOMPARE(TvoieOsc(0).increment, 1e-6);
    v.Valeur[3] = 200;
    v.reference = 128;
    v.increment = 0.5;
    v.origine = -1;
    QCOMPARE(v.valeurR(3), 35.0);
    QCOMPARE(v.strValeurR(3), QStringLiteral("3.50000E+1"));
    QCOMPARE(v.strValeurInt(3), QStringLiteral("200"));
    // The integer subtraction cannot overflow, whatever reference an instrument reports.
    v.Valeur[0] = 65535;
    v.reference = std::numeric_limits<qint32>::min();
    v.increment = 1;
    v.origine = 0;
    QCOMPARE(v.valeurR(0), 65535.0 + 2147483648.0);
    // Indices past the buffer read nothing: peak views of slot 16384, index 40000.
    QCOMPARE(v.StrValeurMax(16384), QStringLiteral("NaN"));
    QCOMPARE(v.strValeurR(40000), QStringLiteral("NaN"));
    QCOMPARE(v.strValeurR(-1), QStringLiteral("NaN"));   // 65535 as a 16-bit index
    QVERIFY(std::isnan(v.valeurR(TailleVoie)));
    // The time channel of a reader counts 0..32768.
    Lecteur l;
    QVERIFY(l.Voie[0].Activee);
    QCOMPARE(l.Voie[0].Valeur[32768], 32768);
}

QTEST_GUILESS_MAIN(TestLecteur)
#include "tst_lecteur.moc"
