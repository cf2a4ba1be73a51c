// Pages written byte for byte: Korvalis data file, tables, every transfer text.
#include "export/page.h"
#include "export/pages.h"
#include "export/sauvegarde.h"
#include "export/windows1252.h"
#include "measure/unites.h"

#include <QLocale>
#include <QtTest>

namespace {

// Each line followed by CR LF.
QString crlf(const QStringList &lignes)
{
    QString s;
    for (const QString &l : lignes)
        s += l + QStringLiteral("\r\n");
    return s;
}

// A record whose sample texts name their index: "t5", "a5" (CH1), "b5" (CH2).
TEnregistrement enregistrement(int nbreLus, bool ch1 = true, bool ch2 = true)
{
    TEnregistrement e;
    e.nbreLus = nbreLus;
    e.temps = [](int i) { return QStringLiteral("t%1").arg(i); };
    if (ch1)
        e.voies.append({1, QStringLiteral("VA"), QStringLiteral("Tension"), [](int i) { return QStringLiteral("a%1").arg(i); }});
    if (ch2)
        e.voies.append({2, QStringLiteral("VB"), QStringLiteral("Courant"), [](int i) { return QStringLiteral("b%1").arg(i); }});
    return e;
}

const QString chemin = QStringLiteral("/opt/ondivar/ondivar");

} // namespace

class TestFormats : public QObject {
    Q_OBJECT
private slots:
    void encodeur();
    void kvxExemple();
    void kvxReduction_data();
    void kvxReduction();
    void kvxVoies();
    void tableaux();
    void csvSousLocaleVirgule();
    void tableauSimple();
    void formeParExtension_data();
    void formeParExtension();
    void texteNonEchappe();
    void transfertOsc();
    void transfertOscPlage();
    void transfertPeak();
    void transfertRigol();
    void transfertMult();
    void transfertBode();
};

void TestFormats::encodeur()
{
    int n = -1;
    QCOMPARE(EnWindows1252(QStringLiteral("\u00A3\u2026\u20AC\u00E9\u0178A"), &n), QByteArray("\xA3\x85\x80\xE9\x9F" "A"));
    QCOMPARE(n, 0);
    // Omega, a character outside the basic plane (one "?"), a lone surrogate, a C1 control
    QCOMPARE(EnWindows1252(QStringLiteral("R\u03A9") + QString::fromUtf8("\xF0\x9F\x98\x80") + QChar(0xD800)
                               + QChar(0x0081),
                           &n),
             QByteArray("R????"));
    QCOMPARE(n, 4);
    // every assigned byte comes back unchanged
    QByteArray tous;
    for (int b = 0; b < 256; ++b)
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
            tous.append(char(b));
    QCOMPARE(EnWindows1252(DeWindows1252(tous), &n), tous);
    QCOMPARE(n, 0);
}

void TestFormats::kvxExemple()
{
    TEnregistrement e;
    e.nbreLus = 3;
    e.temps = [](int i) { return FormatNumber(-1e-3 + i * 2e-6); };
    const double v[] = {0, 0.5, 1.25};
    e.voies.append({1, QStringLiteral("VA"), QStringLiteral("Tension"), [v](int i) { return FormatNumber(v[i]); }});
    const QByteArray attendu =
        "QUINTARE KORVALIS WINDOWS 1.0\r\n"
        "\xA3" "2 NOM VAR\r\nt\r\nVA\r\n"
        "\xA3" "2 UNITE VAR\r\ns\r\nV\r\n"
        "\xA3" "2 SIGNIF VAR\r\ntemps\r\nTension\r\n"
        "\xA3" "1 ACQUISITION\r\n/opt/ondivar/ondivar\r\n"
        "\xA3" "1 PAGE COMMENT\r\n\r\n"
        "&3 VALEUR VAR\r\n"
        "-1.00000E-3 0.00000E+0 \r\n"
        "-9.98000E-4 5.00000E-1 \r\n"
        "-9.96000E-4 1.25000E+0 \r\n";
    QCOMPARE(EnWindows1252(TexteKvx(PageFichierOsc(e, 1000), chemin)), attendu);
}

void TestFormats::kvxReduction_data()
{
    QTest::addColumn<int>("S");
    QTest::addColumn<int>("P");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("m");
    QTest::newRow("S=1999 P=1000") << 1999 << 1000 << 1 << 1999;
    QTest::newRow("S=0") << 0 << 1000 << 1 << 0;
    QTest::newRow("S=2500 P=1000") << 2500 << 1000 << 2 << 1250;
    QTest::newRow("S=599 P=250") << 599 << 250 << 2 << 300;
    QTest::newRow("S=4096 P=600") << 4096 << 600 << 6 << 683;
    QTest::newRow("S=500 P=600") << 500 << 600 << 1 << 500;
    QTest::newRow("P=0") << 10 << 0 << 1 << 10;
}

void TestFormats::kvxReduction()
{
    QFETCH(int, S);
    QFETCH(int, P);
    QFETCH(int, k);
    QFETCH(int, m);
    QCOMPARE(PasReduction(S, P), k);
    QCOMPARE(NbreLignesReduites(S, P), m);
    const QStringList lignes = TexteKvx(PageFichierOsc(enregistrement(S, true, false), P), chemin)
                                   .split(QStringLiteral("\r\n"));
    const qsizetype entete = lignes.indexOf(QStringLiteral("&%1 VALEUR VAR").arg(m));
    QVERIFY(entete > 0);
    QCOMPARE(lignes.size() - entete - 2, qsizetype(m));   // rows, then the empty tail after the last CR LF
    QCOMPARE(lignes.last(), QString());
    if (m > 0) {
        QCOMPARE(lignes.at(entete + 1), QStringLiteral("t0 a0 "));
        const int dernier = (m - 1) * k;
        QCOMPARE(lignes.at(entete + m), QStringLiteral("t%1 a%1 ").arg(dernier));
        QVERIFY(dernier < S);
    }
}

void TestFormats::kvxVoies()
{
    // CH1 inactive, CH2 with its name left empty: n = 2, the name becomes "VB"
    TEnregistrement e = enregistrement(2, false, true);
    e.voies[0].nom.clear();
    const QString t = TexteKvx(PageFichierOsc(e, 1000), chemin);
    QVERIFY(t.startsWith(crlf({QStringLiteral("QUINTARE KORVALIS WINDOWS 1.0"), QStringLiteral("\u00A3" "2 NOM VAR"),
                               QStringLiteral("t"), QStringLiteral("VB"), QStringLiteral("\u00A3" "2 UNITE VAR")})));
    QVERIFY(t.endsWith(crlf({QStringLiteral("&2 VALEUR VAR"), QStringLiteral("t0 b0 "), QStringLiteral("t1 b1 ")})));
    // both channels: n = 3, CH1 before CH2
    const QString t2 = TexteKvx(PageFichierOsc(enregistrement(1), 1000), chemin);
    QVERIFY(t2.contains(crlf({QStringLiteral("\u00A3" "3 SIGNIF VAR"), QStringLiteral("temps"), QStringLiteral("Tension"),
                              QStringLiteral("Courant")})));
    QVERIFY(t2.endsWith(crlf({QStringLiteral("&1 VALEUR VAR"), QStringLiteral("t0 a0 b0 ")})));
}

void TestFormats::tableaux()
{
    // the range [2, 4] without reduction; a range beyond the samples read is cut
    const TPage page = PageTableauOsc(enregistrement(5), 2, 9);
    QCOMPARE(TexteFichier(page, TForme::Tabulation, QStringLiteral("HP54622D")),
             crlf({QStringLiteral("Acquisition par HP54622D"), QStringLiteral("t\tVA\tVB"), QStringLiteral("s\tV\tV"),
                   QStringLiteral("temps\tTension\tCourant"), QStringLiteral("t2\ta2\tb2"), QStringLiteral("t3\ta3\tb3"),
                   QStringLiteral("t4\ta4\tb4")}));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(TexteFichier(PageTableauOsc(enregistrement(2, true, false), 0, 1), TForme::Csv, QStringLiteral("X")),
             QStringLiteral("Acquisition par X\nt,VA\ns,V\ntemps,Tension\nt0,a0\nt1,a1\n"));
}

void TestFormats::csvSousLocaleVirgule()
{
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    TEnregistrement e;
    e.nbreLus = 2;
    e.temps = [](int i) { return FormatNumber(i * 1.5e-3); };
    e.voies.append({1, QStringLiteral("VA"), QStringLiteral("Tension"), [](int i) { return FormatNumber(-2.5 * i); }});
    const QString t = TexteFichier(PageTableauOsc(e, 0, 1), FormeParExtension(QStringLiteral("mesure.csv"), TCheminSauvegarde::Oscillo),
                                   QStringLiteral("X"));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(t, QStringLiteral("Acquisition par X\nt;VA\ns;V\ntemps;Tension\n0.00000E+0;0.00000E+0\n1.50000E-3;-2.50000E+0\n"));
}

void TestFormats::tableauSimple()
{
    const TPage page = PageFichierOsc(enregistrement(5), 2);   // k = 2: samples 0, 2, 4
    QCOMPARE(TexteFichier(page, FormeParExtension(QStringLiteral("a.txt"), TCheminSauvegarde::KorvalisRigol),
                          QStringLiteral("RIGOL DS1102E")),
             crlf({QStringLiteral("RIGOL DS1102E"), QStringLiteral("t\tVA\tVB"), QStringLiteral("s\tV\tV"),
                   QStringLiteral("temps\tTension\tCourant"), QStringLiteral("t0\ta0\tb0\t"), QStringLiteral("t2\ta2\tb2\t"),
                   QStringLiteral("t4\ta4\tb4\t")}));
}

void TestFormats::formeParExtension_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<int>("chemin");
    QTest::addColumn<int>("forme");
    const int osc = int(TCheminSauvegarde::Oscillo), tab = int(TCheminSauvegarde::TableauRigol),
              kor = int(TCheminSauvegarde::KorvalisRigol);
    QTest::newRow("kvx minuscules") << "essai.kvx" << osc << int(TForme::Kvx);
    QTest::newRow("KVX") << "/d/ESSAI.KVX" << osc << int(TForme::Kvx);
    QTest::newRow("Csv") << "a.Csv" << osc << int(TForme::Csv);
    QTest::newRow("txt") << "a.txt" << osc << int(TForme::Tabulation);
    QTest::newRow("autre") << "a.dat" << osc << int(TForme::Tabulation);
    QTest::newRow("point dans le dossier") << "/d.kvx/essai" << osc << int(TForme::Tabulation);
    QTest::newRow("rigol tableau kvx") << "a.kvx" << tab << int(TForme::Tabulation);
    QTest::newRow("rigol tableau csv") << "a.CSV" << tab << int(TForme::Csv);
    QTest::newRow("rigol korvalis kvx") << "a.kvx" << kor << int(TForme::Kvx);
    QTest::newRow("rigol korvalis txt") << "a.txt" << kor << int(TForme::TableauSimple);
    QTest::newRow("rigol korvalis csv") << "a.csv" << kor << int(TForme::TableauSimple);
}

void TestFormats::formeParExtension()
{
    QFETCH(QString, nom);
    QFETCH(int, chemin);
    QFETCH(int, forme);
    QCOMPARE(int(FormeParExtension(nom, TCheminSauvegarde(chemin))), forme);
    QCOMPARE(AvecExtension(QStringLiteral("essai"), QStringLiteral(".TXT")), QStringLiteral("essai.TXT"));
    QCOMPARE(AvecExtension(QStringLiteral("essai.csv"), QStringLiteral(".TXT")), QStringLiteral("essai.csv"));
}

void TestFormats::texteNonEchappe()
{
    // a tab and a line break typed in a name or a meaning go out unchanged
    TEnregistrement e = enregistrement(1, true, false);
    e.voies[0].nom = QStringLiteral("V\tA");
    e.voies[0].signif = QStringLiteral("Ten\r\nsion \u2026");
    const QString kvx = TexteKvx(PageFichierOsc(e, 1000), chemin);
    QVERIFY(kvx.contains(QStringLiteral("\r\nt\r\nV\tA\r\n")));
    QVERIFY(EnWindows1252(kvx).contains("\r\ntemps\r\nTen\r\nsion \x85\r\n"));
    TOptionsTransfertOsc o;
    o.fin = 0;
    const QString tr = TexteTransfert(PageTransfertOsc(e, o), chemin);
    QVERIFY(tr.contains(QStringLiteral("\r\nt\tV\tA\r\ns\tV\r\ntemps\tTen\r\nsion \u2026\r\n")));
}

void TestFormats::transfertOsc()
{
    TOptionsTransfertOsc o;
    o.identification = QStringLiteral("HP54622D");
    o.commentaireGeneral = QStringLiteral("Essai £");
    o.parametre = {QStringLiteral("R"), QStringLiteral("\u03A9"), QStringLiteral("1,5k")};
    o.debut = 0;
    o.fin = 2;
    o.nbrePoints = 1000;
    // new file, "Totalité": parameter as typed, line-style section
    QCOMPARE(TexteTransfert(PageTransfertOsc(enregistrement(3), o), chemin),
             crlf({chemin, QStringLiteral("Acquisition par HP54622D"), QStringLiteral("Essai £"), QStringLiteral("t\tVA\tVB"),
                   QStringLiteral("s\tV\tV"), QStringLiteral("temps\tTension\tCourant"), QStringLiteral("t0\ta0\tb0"),
                   QStringLiteral("t1\ta1\tb1"), QStringLiteral("t2\ta2\tb2"), QString(), QStringLiteral("R"),
                   QStringLiteral("\u03A9"), QStringLiteral("1,5k"), QStringLiteral("&2 LIGNE"), QStringLiteral("2"),
                   QStringLiteral("2")}));
    // added page: no page comment, no line style; a value that is not a number: no parameter
    o.nouveauFichier = false;
    o.parametre.valeur = QStringLiteral("beaucoup");
    QCOMPARE(TexteTransfert(PageTransfertOsc(enregistrement(1, true, false), o), chemin),
             crlf({chemin, QString(), QStringLiteral("Essai £"), QStringLiteral("t\tVA"), QStringLiteral("s\tV"),
                   QStringLiteral("temps\tTension"), QStringLiteral("t0\ta0")}));
    // an empty name: no parameter either
    o.parametre = {QString(), QStringLiteral("V"), QStringLiteral("3")};
    QVERIFY(TexteTransfert(PageTransfertOsc(enregistrement(1), o), chemin).endsWith(QStringLiteral("t0\ta0\tb0\r\n")));
}

void TestFormats::transfertOscPlage()
{
    // one period [3, 10], 4 points: step 2, indices multiple of 2 from the record's start
    TOptionsTransfertOsc o;
    o.commentaireGeneral = QStringLiteral("c");
    o.totalite = false;
    o.debut = 3;
    o.fin = 10;
    o.nbrePoints = 4;
    QCOMPARE(PasTransfert(3, 10, 4), 2);
    QCOMPARE(TexteTransfert(PageTransfertOsc(enregistrement(20), o), chemin),
             crlf({chemin, QStringLiteral("Acquisition par "), QStringLiteral("c"), QStringLiteral("t\tVA\tVB"),
                   QStringLiteral("s\tV\tV"), QStringLiteral("temps\tTension\tCourant"), QStringLiteral("t4\ta4\tb4"),
                   QStringLiteral("t6\ta6\tb6"), QStringLiteral("t8\ta8\tb8"), QStringLiteral("t10\ta10\tb10"),
                   QStringLiteral("&1 NOMX"), QStringLiteral("VA"), QStringLiteral("&1 NOMY"), QStringLiteral("VB")}));
    // one channel only: neither XY nor line style
    const QString un = TexteTransfert(PageTransfertOsc(enregistrement(20, true, false), o), chemin);
    QVERIFY(!un.contains(QStringLiteral("NOMX")) && !un.contains(QStringLiteral("LIGNE")));
    // an added page never declares XY
    o.nouveauFichier = false;
    QVERIFY(!TexteTransfert(PageTransfertOsc(enregistrement(20), o), chemin).contains(QStringLiteral("NOMX")));
}

void TestFormats::transfertPeak()
{
    TOptionsTransfertOsc o;
    o.identification = QStringLiteral("HP");
    o.parametre = {QStringLiteral("C"), QStringLiteral("F"), QStringLiteral("2,5 m")};
    o.totalite = false;
    // 5 samples: pairs 0 and 1; max at 2j+1, min at 2j; parameter re-written
    QCOMPARE(TexteTransfert(PageTransfertPeak(enregistrement(5), o), chemin),
             crlf({chemin, QStringLiteral("Acquisition par HP"), QString(), QStringLiteral("t\tVAM\tVAm\tVBM\tVBm"),
                   QStringLiteral("s\tV\tV\tV\tV"),
                   QStringLiteral("temps\tTension maxi\tTension mini\tCourant maxi\tCourant mini"),
                   QStringLiteral("t0\ta1\ta0\tb1\tb0"), QStringLiteral("t2\ta3\ta2\tb3\tb2"), QString(), QStringLiteral("C"),
                   QStringLiteral("F"), QStringLiteral("2.50000E-3"), QStringLiteral("&1 NOMX"), QStringLiteral("VA"),
                   QStringLiteral("&1 NOMY"), QStringLiteral("VB")}));
    // fewer than two samples: no data row; "Totalité": no XY and never a line style
    o.totalite = true;
    const QString t = TexteTransfert(PageTransfertPeak(enregistrement(1, true, false), o), chemin);
    QVERIFY(t.endsWith(crlf({QStringLiteral("temps\tTension maxi\tTension mini"), QString(), QStringLiteral("C"),
                             QStringLiteral("F"), QStringLiteral("2.50000E-3")})));
}

void TestFormats::transfertRigol()
{
    // 7 samples, 3 points: step 2; no general comment; one line-style line per channel
    QCOMPARE(TexteTransfert(PageTransfertRigol(enregistrement(7, false, true), 3, true, QStringLiteral("RIGOL")), chemin),
             crlf({chemin, QStringLiteral("Acquisition par RIGOL"), QString(), QStringLiteral("t\tVB"), QStringLiteral("s\tV"),
                   QStringLiteral("temps\tCourant"), QStringLiteral("t0\tb0"), QStringLiteral("t2\tb2"),
                   QStringLiteral("t4\tb4"), QStringLiteral("t6\tb6"), QStringLiteral("&1 LIGNE"), QStringLiteral("2")}));
    // added page, nothing read: no row, no line style
    QCOMPARE(TexteTransfert(PageTransfertRigol(enregistrement(0), 600, false, QStringLiteral("RIGOL")), chemin),
             crlf({chemin, QString(), QString(), QStringLiteral("t\tVA\tVB"), QStringLiteral("s\tV\tV"),
                   QStringLiteral("temps\tTension\tCourant")}));
}

void TestFormats::transfertMult()
{
    const QList<TVoieGraphe> voies = {
        {QStringLiteral("f"), QStringLiteral("Hz"), QStringLiteral("fréquence"), {100, 200}, {1, 2}},
        {QStringLiteral("Ve"), QStringLiteral("V"), QStringLiteral("efficace"), {0.5}, {0.01, 0.02}},   // one point missing
    };
    const TVoieGraphe temps{QStringLiteral("temps écoulé"), QStringLiteral("s"), QString(), {0, 1}, {}};
    TInfosPage infos;
    infos.identification = QStringLiteral("HP");
    infos.commentaire = QStringLiteral("mesures");
    infos.parametre = {QStringLiteral("L"), QStringLiteral("H"), QStringLiteral("0,1")};
    QCOMPARE(TexteTransfert(PageTransfertMult(voies, 2, &temps, infos), chemin),
             crlf({chemin, QStringLiteral("Diagramme de Bode avec HP"), QStringLiteral("mesures"), QStringLiteral("t\tf\tVe\t"),
                   QStringLiteral("s\tHz\tV\t"), QStringLiteral("temps\tfréquence\tefficace\t"),
                   QStringLiteral("0.00000E+0\t1.00000E+2\t5.00000E-1\t"), QStringLiteral("1.00000E+0\t2.00000E+2\tNaN\t"),
                   QStringLiteral("&2 INCERT"), QStringLiteral("0.001\t1.00000E+0\t1.00000E-2\t"),
                   QStringLiteral("0.001\t2.00000E+0\t2.00000E-2\t"), QString(), QStringLiteral("L"), QStringLiteral("H"),
                   QStringLiteral("0,1")}));
    // no automatic acquisition, "Nouvelle page", no point
    infos.choix = 1;
    infos.parametre = {};
    QCOMPARE(TexteTransfert(PageTransfertMult(voies, 0, nullptr, infos), chemin),
             crlf({chemin, QString(), QStringLiteral("mesures"), QStringLiteral("f\tVe\t"), QStringLiteral("Hz\tV\t"),
                   QStringLiteral("fréquence\tefficace\t"), QStringLiteral("&0 INCERT")}));
    QCOMPARE(OrdrePourChoix(0), eLoad);
    QCOMPARE(OrdrePourChoix(1), eAdd);
    QCOMPARE(OrdrePourChoix(2), ePlus);
}

void TestFormats::transfertBode()
{
    const QList<TVoieGraphe> voies = {
        {QStringLiteral("f"), QStringLiteral("Hz"), QStringLiteral("fréquence"), {100, 1000}, {}},
        {QStringLiteral("G"), QString(), QStringLiteral("gain"), {10, 0}, {}},
        {QStringLiteral("\u2026"), QStringLiteral("\u00B0"), QStringLiteral("phase"), {-45, -90}, {}},
    };
    TInfosPage infos;
    infos.identification = QStringLiteral("GDS-820");
    infos.commentaire = QStringLiteral("filtre");
    QCOMPARE(TexteTransfert(PageTransfertBode(voies, 2, true, infos), chemin),
             crlf({chemin, QStringLiteral("Diagramme de Bode avec GDS-820"), QStringLiteral("filtre"),
                   QStringLiteral("f\tG\t\u2026\tGdB\t"), QStringLiteral("Hz\t\t\u00B0\t\t"),
                   QStringLiteral("fréquence\tgain\tphase\tGain en décibel\t"),
                   QStringLiteral("1.00000E+2\t1.00000E+1\t-4.50000E+1\t2.00000E+1\t"),
                   QStringLiteral("1.00000E+3\t0.00000E+0\t-9.00000E+1\t0\t")}));
    // linear gain axis, "Ajout page courante": three columns
    infos.choix = 2;
    QCOMPARE(TexteTransfert(PageTransfertBode(voies, 1, false, infos), chemin),
             crlf({chemin, QString(), QStringLiteral("filtre"), QStringLiteral("f\tG\t\u2026\t"),
                   QStringLiteral("Hz\t\t\u00B0\t"), QStringLiteral("fréquence\tgain\tphase\t"),
                   QStringLiteral("1.00000E+2\t1.00000E+1\t-4.50000E+1\t")}));
    // reduced text of "Ajouter": names and rows only
    QCOMPARE(TexteTransfertBodeReduit(voies, 2, true),
             crlf({QStringLiteral("f\tG\t\u2026\tGdB\t"), QStringLiteral("1.00000E+2\t1.00000E+1\t-4.50000E+1\t2.00000E+1\t"),
                   QStringLiteral("1.00000E+3\t0.00000E+0\t-9.00000E+1\t0\t")}));
    QCOMPARE(TexteTransfertBodeReduit(voies, 1, false),
             crlf({QStringLiteral("f\tG\t\u2026\t"), QStringLiteral("1.00000E+2\t1.00000E+1\t-4.50000E+1\t")}));
    QCOMPARE(TexteGainDecibel(-1), QStringLiteral("0"));
    QCOMPARE(TexteGainDecibel(qQNaN()), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestFormats)
#include "tst_formats.moc"
