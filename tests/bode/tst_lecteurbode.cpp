#include "bode/lecteurbode.h"

#include <QtTest>
#include <cstring>

Q_DECLARE_METATYPE(Tconstructeur)

namespace {

// A sample pattern whose two bytes differ and whose sign varies: swapped bytes show.
qint16 echantillon(int i) { return qint16(((i * 2654435761u) >> 7) & 0xFFFF); }

void ajoute16(QByteArray &b, qint16 v, bool poidsFortDabord)
{
    const quint16 u = quint16(v);
    const char bas = char(u & 0xFF), haut = char(u >> 8);
    if (poidsFortDabord) { b.append(haut); b.append(bas); }
    else { b.append(bas); b.append(haut); }
}

// The reply to ":ACQn:POIN": 14 header bytes, then 500 samples low byte first.
QByteArray blocFixe(int graine = 0)
{
    QByteArray b("#2001008  xxxx");   // any 14 bytes
    for (int i = 1; i <= NbreEchantillonsBode; ++i)
        ajoute16(b, echantillon(i + graine), false);
    return b;
}

// A counted block of n samples: "#", digit count, byte count, interval, 4 reserved bytes.
QByteArray blocAvecCompte(int n, bool poidsFortDabord, float deltat, int graine = 0)
{
    const QByteArray compte = QByteArray::number(2 * n);
    QByteArray b = "#" + QByteArray::number(compte.size()) + compte;
    char f[4];
    std::memcpy(f, &deltat, 4);   // least significant byte first on this machine
    b.append(f, 4);
    b.append("\x01\x02\x03\x04", 4);
    for (int i = 0; i < n; ++i)
        ajoute16(b, echantillon(i + graine), poidsFortDabord);
    return b;
}

void donne(TLecteurBode &l, const QByteArray &b, int pas)
{
    for (qsizetype i = 0; i < b.size(); i += pas)
        l.lit(b.constData() + i, std::min<qsizetype>(pas, b.size() - i));
}

} // namespace

class TestLecteurBode : public QObject {
    Q_OBJECT
private slots:
    void formatParConstructeur()
    {
        QCOMPARE(TLecteurBode::formatDe(oGoodWill), TLecteurBode::blocCompte);
        QCOMPARE(TLecteurBode::formatDe(oFI), TLecteurBode::blocCompte);
        QCOMPARE(TLecteurBode::formatDe(oSefram), TLecteurBode::enTeteFixe);
        QCOMPARE(TLecteurBode::formatDe(oAgilent), TLecteurBode::enTeteFixe);
    }

    void enTeteFixe_data()
    {
        QTest::addColumn<int>("pas");
        QTest::addColumn<bool>("sauteLF");
        QTest::addColumn<QByteArray>("avant");
        QTest::newRow("byte by byte") << 1 << false << QByteArray();
        QTest::newRow("odd pieces") << 7 << false << QByteArray();
        QTest::newRow("all at once") << 100000 << false << QByteArray();
        // The LF of the last reply's CR LF, come after the flush, is not a header byte.
        QTest::newRow("late LF") << 1 << true << QByteArray("\n");
        QTest::newRow("late LF awaited, none came") << 7 << true << QByteArray();
    }
    // 14 bytes skipped, samples low byte first and signed into indices 1 to 500,
    // complete at the last byte, later bytes ignored.
    void enTeteFixe()
    {
        QFETCH(int, pas);
        QFETCH(bool, sauteLF);
        QFETCH(QByteArray, avant);
        TvoieOscBode v;
        v.Valeur[0] = v.Valeur[501] = 77;   // left from an earlier read
        TLecteurBode l;
        l.arme(oSefram, &v, sauteLF);
        const QByteArray b = avant + blocFixe();
        donne(l, b.left(b.size() - 1), pas);
        QVERIFY(!l.AcqFaite);
        l.lit(b.constData() + b.size() - 1, 1);
        QVERIFY(l.AcqFaite);
        l.lit("\x55\x55\x55\x55", 4);
        for (int i = 1; i <= NbreEchantillonsBode; ++i)
            QCOMPARE(v.Valeur[size_t(i)], qint32(echantillon(i)));
        QCOMPARE(v.Valeur[0], 0);
        QCOMPARE(v.Valeur[501], 0);
    }

    void blocCompte_data()
    {
        QTest::addColumn<Tconstructeur>("maker");
        QTest::addColumn<bool>("poidsFort");
        QTest::addColumn<int>("pas");
        QTest::newRow("GoodWill, high byte first") << oGoodWill << true << 1;
        QTest::newRow("GoodWill, pieces") << oGoodWill << true << 13;
        QTest::newRow("FI, low byte first") << oFI << false << 1;
        QTest::newRow("FI, all at once") << oFI << false << 100000;
    }
    // Leftovers before "#" skipped; the interval float least significant byte first;
    // the samples from index 0 in the maker's byte order.
    void blocCompte()
    {
        QFETCH(Tconstructeur, maker);
        QFETCH(bool, poidsFort);
        QFETCH(int, pas);
        TvoieOscBode v;
        TLecteurBode l;
        l.Deltat = 1e-3;
        l.arme(maker, &v);
        const QByteArray b = "\r\n" + blocAvecCompte(1000, poidsFort, 2e-5f);
        donne(l, b.left(b.size() - 1), pas);
        QVERIFY(!l.AcqFaite);
        QCOMPARE(l.nbrePointsAlire, 1000);
        QCOMPARE(l.Deltat, double(2e-5f));
        l.lit(b.constData() + b.size() - 1, 1);
        QVERIFY(l.AcqFaite);
        QCOMPARE(l.Attente, TLecteurBode::atStatus);
        l.lit("#41000", 6);   // nothing more is read
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(v.Valeur[size_t(i)], qint32(echantillon(i)));
        QCOMPARE(v.Valeur[1000], 0);
    }

    // Every read restarts at "#", and a second block replaces the first.
    void secondeLecture()
    {
        for (Tconstructeur maker : {oGoodWill, oFI}) {
            TvoieOscBode v;
            TLecteurBode l;
            l.arme(maker, &v);
            donne(l, blocAvecCompte(600, maker == oGoodWill, 1e-5f), 64);
            QVERIFY(l.AcqFaite);
            l.arme(maker, &v);
            QCOMPARE(l.Attente, TLecteurBode::atDiese);
            QVERIFY(!l.AcqFaite);
            donne(l, "\n" + blocAvecCompte(600, maker == oGoodWill, 4e-5f, 3), 64);
            QVERIFY(l.AcqFaite);
            QCOMPARE(l.Deltat, double(4e-5f));
            QCOMPARE(v.Valeur[10], qint32(echantillon(13)));
        }
    }

    // Blocks that cannot be read never complete; the read then ends at its time limit.
    void blocInutilisable_data()
    {
        QTest::addColumn<QByteArray>("debut");
        QTest::newRow("no digit count") << QByteArray("#0");
        QTest::newRow("digit count not a digit") << QByteArray("#A1000");
        QTest::newRow("count not a number") << QByteArray("#41x00");
        QTest::newRow("count with a space") << QByteArray("#4 100");
        QTest::newRow("no sample") << QByteArray("#11");
    }
    void blocInutilisable()
    {
        QFETCH(QByteArray, debut);
        TvoieOscBode v;
        TLecteurBode l;
        l.arme(oGoodWill, &v);
        donne(l, debut + QByteArray(5000, '\x11'), 1);
        QVERIFY(!l.AcqFaite);
        QVERIFY(l.inutilisable());
        QCOMPARE(v.Valeur[0], 0);
    }

    // More samples announced than the buffer holds: the buffer is filled, the rest read
    // and dropped, the block complete at its announced end.
    void blocTropLong()
    {
        const int n = 40000;
        TvoieOscBode v;
        TLecteurBode l;
        l.arme(oFI, &v);
        const QByteArray b = blocAvecCompte(n, false, 1e-6f);
        donne(l, b.left(b.size() - 2), 4096);
        QVERIFY(!l.AcqFaite);
        l.lit(b.constData() + b.size() - 2, 2);
        QVERIFY(l.AcqFaite);
        QCOMPARE(v.Valeur.size(), size_t(TailleVoieBode));
        QCOMPARE(v.Valeur[TailleVoieBode - 1], qint32(echantillon(TailleVoieBode - 1)));
    }

    // An interval that is no positive number leaves the one from the time base.
    void intervalleInvalide_data()
    {
        QTest::addColumn<float>("deltat");
        QTest::newRow("zero") << 0.0f;
        QTest::newRow("negative") << -1e-5f;
        QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity();
    }
    void intervalleInvalide()
    {
        QFETCH(float, deltat);
        TvoieOscBode v;
        TLecteurBode l;
        l.Deltat = 2e-4;
        l.arme(oGoodWill, &v);
        donne(l, blocAvecCompte(500, true, deltat), 100);
        QVERIFY(l.AcqFaite);
        QCOMPARE(l.Deltat, 2e-4);
    }
};

QTEST_GUILESS_MAIN(TestLecteurBode)
#include "tst_lecteurbode.moc"
