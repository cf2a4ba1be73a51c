#include "multimeter/configmult.h"
#include "multimeter/fichierini.h"

#include "export/windows1252.h"
#include "link/dossiers.h"

#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

// The multimeter's default channels, as a new window holds them.
TVoiesMult voiesParDefaut()
{
    TVoiesMult v;
    for (int i = 0; i < NbreVoiesConfig; ++i)
        v[size_t(i)].AppliqueMesure(TableMesures[size_t(i)]);
    v[0].AxeLog = true;
    return v;
}

QByteArray contenu(const QString &nom)
{
    QFile f(nom);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The bytes of a literal, the null bytes inside included.
template <size_t N>
QByteArray brut(const char (&s)[N])
{
    return QByteArray(s, qsizetype(N - 1));
}

void ecrit(const QString &nom, const QByteArray &octets)
{
    QFile f(nom);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(octets), octets.size());
}

// Every stored field of a channel, in one text, for comparisons.
QString champs(const Tvoie &v)
{
    return QStringList{v.Nom, v.Unite, v.Signif, QString::fromLatin1(v.Command),
                       QString::fromLatin1(v.commandGDS), QString::number(v.Active), QString::number(v.Positive),
                       QString::number(int(v.CalculIncertitude)), QString::number(v.maxi, 'g', 17),
                       QString::number(v.mini, 'g', 17), QString::number(int(v.NumVoie))}
        .join(QLatin1Char('|'));
}

// One field of channel 1 by its key.
QString champ(const Tvoie &v, const QString &cle)
{
    if (cle == QLatin1String("Nom")) return v.Nom;
    if (cle == QLatin1String("Command")) return QString::fromLatin1(v.Command);
    if (cle == QLatin1String("Active")) return QString::number(v.Active);
    if (cle == QLatin1String("Incertitude")) return QString::number(int(v.CalculIncertitude));
    if (cle == QLatin1String("Maxi")) return QString::number(v.maxi, 'g', 17);
    if (cle == QStringLiteral("Numéro")) return QString::number(int(v.NumVoie));
    return QStringLiteral("?");
}

QByteArray utf16(const QString &t)
{
    QByteArray o;
    for (const QChar c : t) {
        o.append(char(c.unicode() & 0xFF));
        o.append(char(c.unicode() >> 8));
    }
    return o;
}

struct TLocaleTemporaire {
    explicit TLocaleTemporaire(const QLocale &l) : avant(QLocale()) { QLocale::setDefault(l); }
    ~TLocaleTemporaire() { QLocale::setDefault(avant); }
    QLocale avant;
};

} // namespace

class TestConfigMult : public QObject {
    Q_OBJECT
private slots:
    void allerRetour_data();
    void allerRetour();
    void sectionsConservees();
    void lectureDesCles_data();
    void lectureDesCles();
    void clesAbsentes();
    void fichierAbsent();
    void autresCodages_data();
    void autresCodages();
    void caracteresHorsWindows1252();
    void sauvegardeEchouee();
    void nomsDeFichier_data();
    void nomsDeFichier();
    void fichierDemarrage_data();
    void fichierDemarrage();
};

void TestConfigMult::allerRetour_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("ligneMaxi");
    QTest::newRow("point") << QStringLiteral("C") << QByteArray("Maxi=0.1\r\n");
    QTest::newRow("virgule") << QStringLiteral("fr_FR") << QByteArray("Maxi=0,1\r\n");
}

void TestConfigMult::allerRetour()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, ligneMaxi);
    TLocaleTemporaire l{QLocale(locale)};
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.od"));

    TVoiesMult v = voiesParDefaut();
    v[0].AxeLog = false;
    v[1].Nom = QStringLiteral("Vé");
    v[1].maxi = 0.1;
    v[1].mini = -0.1;
    v[1].NumVoie = 2;
    v[1].Positive = false;
    v[2].AppliqueMesure(TableMesures[6]);   // période
    v[2].Nom = QStringLiteral(" T2 ");      // spaces kept
    v[2].maxi = 1.0 / 3;
    v[3].Nom = QStringLiteral("\"…\"");     // quotes kept
    v[4].Active = true;
    v[4].CalculIncertitude = ciDuty;
    v[4].mini = 1e-30;
    QVERIFY(SauveConfig(nom, v, false));

    const QByteArray octets = contenu(nom);
    QVERIFY(!octets.startsWith("\xEF\xBB\xBF"));
    QVERIFY(octets.startsWith("[Voie0]\r\nNom=f\r\nUnite=Hz\r\nSignif=fr\xE9quence\r\nCommand=FREQ\r\n"));
    QVERIFY(octets.contains("[Voie1]\r\nNom=V\xE9\r\n"));
    QVERIFY(octets.contains("Num\xE9ro=2\r\n"));
    QVERIFY(octets.contains("[Voie2]\r\nNom=\" T2 \"\r\n"));
    QVERIFY(octets.contains("[Voie3]\r\nNom=\"\"\x85\"\"\r\n"));
    QVERIFY(octets.contains(ligneMaxi));
    QVERIFY(octets.endsWith("[Ondivar]\r\nLogX=0\r\nMESURE=0\r\n"));

    TVoiesMult lu;   // blank channels: every value comes from the file
    TConfigMultimetre c;
    QVERIFY(LitConfig(nom, lu, c));
    for (int i = 0; i < NbreVoiesConfig; ++i)
        QCOMPARE(champs(lu[size_t(i)]), champs(v[size_t(i)]));
    QCOMPARE(lu[0].AxeLog, false);
    QCOMPARE(c.mesure, false);

    // Written again from what was read: the same bytes.
    QVERIFY(SauveConfig(nom, lu, c.mesure));
    QCOMPARE(contenu(nom), octets);
}

void TestConfigMult::sectionsConservees()
{
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.od"));
    const QByteArray constante = "[Constante]\r\nNom=R\r\nUnite=k\xE9\r\n";
    ecrit(nom, "; fichier de la salle 12\r\n"
               "[voie1]\r\nCouleur=rouge\r\nNom=Ventr\xE9\x65\r\n\r\n"
               + constante + "\r\n"
               "[Notes]\r\nligne sans signe egal\r\n\x01\x02\x81\x90 octets\r\n");
    TVoiesMult v = voiesParDefaut();
    TConfigMultimetre c;
    QVERIFY(LitConfig(nom, v, c));
    QCOMPARE(v[1].Nom, QStringLiteral("Ventrée"));
    QCOMPARE(c.nomConstante, QStringLiteral("R"));
    QCOMPARE(c.uniteConstante, QStringLiteral("ké"));

    QVERIFY(SauveConfig(nom, v, true));
    const QByteArray apres = contenu(nom);
    QVERIFY(apres.startsWith("; fichier de la salle 12\r\n[voie1]\r\nCouleur=rouge\r\nNom=Ventr\xE9\x65\r\nUnite=V\r\n"));
    QVERIFY(apres.contains("\r\n\r\n" + constante + "\r\n[Notes]\r\nligne sans signe egal\r\n\x01\x02\x81\x90 octets\r\n"));
    QCOMPARE(apres.count("[voie1]") + apres.count("[Voie1]"), 1);
    QVERIFY(apres.contains("[Voie4]"));
    QVERIFY(apres.endsWith("[Ondivar]\r\nLogX=1\r\nMESURE=1\r\n"));
    TConfigMultimetre c2;
    QVERIFY(LitConfig(nom, v, c2));
    QCOMPARE(c2.uniteConstante, QStringLiteral("ké"));
}

void TestConfigMult::lectureDesCles_data()
{
    QTest::addColumn<QByteArray>("ligne");
    QTest::addColumn<QString>("cle");
    QTest::addColumn<QString>("attendu");
    // Channel 1 before reading: "Ve", VRMS, active, ciTensionEff (6), maxi 5, CH2.
    QTest::newRow("numéro 3") << QByteArray("Num\xE9ro=3") << "Numéro" << "1";
    QTest::newRow("numéro 0") << QByteArray("Num\xE9ro=0") << "Numéro" << "1";
    QTest::newRow("numéro 2") << QByteArray("Num\xE9ro= 2 ") << "Numéro" << "2";
    QTest::newRow("numéro illisible") << QByteArray("Num\xE9ro=deux") << "Numéro" << "2";
    QTest::newRow("numéro casse") << QByteArray("NUM\xC9RO=1") << "Numéro" << "1";
    QTest::newRow("maxi point") << QByteArray("Maxi=12.5") << "Maxi" << "12.5";
    QTest::newRow("maxi virgule") << QByteArray("Maxi=12,5") << "Maxi" << "12.5";
    QTest::newRow("maxi exposant") << QByteArray("Maxi=1E3") << "Maxi" << "1000";
    QTest::newRow("maxi illisible") << QByteArray("Maxi=beaucoup") << "Maxi" << "5";
    QTest::newRow("maxi vide") << QByteArray("Maxi=") << "Maxi" << "5";
    QTest::newRow("maxi infini") << QByteArray("Maxi=INF") << "Maxi" << "5";
    QTest::newRow("incertitude 5") << QByteArray("Incertitude=5") << "Incertitude" << "5";
    QTest::newRow("incertitude hors table") << QByteArray("Incertitude=99") << "Incertitude" << "0";
    QTest::newRow("incertitude illisible") << QByteArray("Incertitude=x") << "Incertitude" << "0";
    QTest::newRow("active 0") << QByteArray("Active=0") << "Active" << "0";
    QTest::newRow("active false") << QByteArray("Active=False") << "Active" << "0";
    QTest::newRow("active illisible") << QByteArray("Active=non") << "Active" << "1";
    QTest::newRow("commande") << QByteArray("Command=VPP") << "Command" << "VPP";
    QTest::newRow("commande ajoutée") << QByteArray("Command=FREQ;*RST") << "Command" << "VRMS";
    QTest::newRow("commande vide") << QByteArray("Command=") << "Command" << "VRMS";
    QTest::newRow("nom entre guillemets") << QByteArray("Nom=\" a \"") << "Nom" << " a ";
    QTest::newRow("nom vide") << QByteArray("Nom=") << "Nom" << "";
    QTest::newRow("clé en double") << QByteArray("Nom=A\r\nNom=B") << "Nom" << "A";
    QTest::newRow("section en double") << QByteArray("Nom=A\r\n[Voie1]\r\nNom=B") << "Nom" << "A";
}

void TestConfigMult::lectureDesCles()
{
    QFETCH(QByteArray, ligne);
    QFETCH(QString, cle);
    QFETCH(QString, attendu);
    for (const char *locale : {"C", "fr_FR"}) {
        TLocaleTemporaire l{QLocale(QString::fromLatin1(locale))};
        TVoiesMult v = voiesParDefaut();
        v[1].NumVoie = 2;
        TConfigMultimetre c;
        LitConfigOctets("[Voie1]\r\n" + ligne + "\r\n", v, c);
        QCOMPARE(champ(v[1], cle), attendu);
    }
}

void TestConfigMult::clesAbsentes()
{
    TVoiesMult v = voiesParDefaut();
    v[0].AxeLog = false;
    v[2].Nom = QStringLiteral("Vs2");
    TConfigMultimetre c;
    c.mesure = false;
    c.nomConstante = QStringLiteral("ancien");
    LitConfigOctets("[Voie2]\nActive=1\n[Ondivar]\n", v, c);
    // No "Incertitude": no uncertainty on any channel; the other keys keep their values.
    for (int i = 0; i < NbreVoiesConfig; ++i)
        QCOMPARE(v[size_t(i)].CalculIncertitude, ciNone);
    QCOMPARE(v[2].Nom, QStringLiteral("Vs2"));
    QCOMPARE(v[3].maxi, 180.0);
    QCOMPARE(v[3].Command, QByteArray("PHAS"));
    // "LogX" and "MESURE" default to true, "Constante" to empty.
    QCOMPARE(v[0].AxeLog, true);
    QCOMPARE(c.mesure, true);
    QCOMPARE(c.nomConstante, QString());
}

void TestConfigMult::fichierAbsent()
{
    QTemporaryDir d;
    TVoiesMult v = voiesParDefaut();
    v[1].CalculIncertitude = ciPhase;
    v[0].AxeLog = false;
    TConfigMultimetre c;
    c.mesure = false;
    QVERIFY(!LitConfig(d.filePath(QStringLiteral("absent.od")), v, c));
    QVERIFY(!LitConfig(QString(), v, c));
    QVERIFY(!LitConfig(d.path(), v, c));   // a folder
    QCOMPARE(v[1].CalculIncertitude, ciPhase);
    QCOMPARE(v[0].AxeLog, false);
    QCOMPARE(c.mesure, false);

    // Too large to be a configuration: not read, and not written over.
    const QString grand = d.filePath(QStringLiteral("grand.od"));
    const QByteArray octets = "[Voie1]\r\nNom=X\r\n" + QByteArray(int(TailleMaxConfig), 'a');
    ecrit(grand, octets);
    QVERIFY(!LitConfig(grand, v, c));
    QCOMPARE(v[1].Nom, QStringLiteral("Ve"));
    QVERIFY(!SauveConfig(grand, v, true));
    QCOMPARE(contenu(grand), octets);
}

void TestConfigMult::autresCodages_data()
{
    QTest::addColumn<QByteArray>("octets");
    QTest::addColumn<QString>("signif");
    QTest::addColumn<int>("numero");
    QTest::newRow("utf-8") << QByteArray("[Voie1]\nSignif=p\xC3\xA9riode\nNum\xC3\xA9ro=2\n[Constante]\nNom=\xCF\x86\n")
                           << "période" << 2;
    QTest::newRow("utf-8 marqué") << QByteArray("\xEF\xBB\xBF[Voie1]\r\nSignif=p\xC3\xA9riode\r\nNum\xC3\xA9ro=2\r\n"
                                                "[Constante]\r\nNom=\xCF\x86\r\n")
                                  << "période" << 2;
    QTest::newRow("utf-16") << QByteArray("\xFF\xFE") + utf16(QStringLiteral("[Voie1]\r\nSignif=x\r\n")) << "efficace" << 1;
    QTest::newRow("octets nuls et CR seuls") << brut("\0\0\r[Voie1]\0\rSignif=x\0y\r\r\n\xFF\xFE\xFF\n[Constante]\rNom=\xCF\x86")
                                             << QString::fromUtf8("x\0y", 3) << 1;
    QTest::newRow("crochets") << QByteArray("[[]]\n[\n]\n=\n==\n[Voie1\nSignif=z\n[Voie1]Signif=w\nSignif=v\n[Constante]\nNom=\xCF\x86")
                              << "v" << 1;
}

void TestConfigMult::autresCodages()
{
    QFETCH(QByteArray, octets);
    QFETCH(QString, signif);
    QFETCH(int, numero);
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.od"));
    ecrit(nom, octets);
    TVoiesMult v = voiesParDefaut();
    TConfigMultimetre c;
    QVERIFY(LitConfig(nom, v, c));
    QCOMPARE(v[1].Signif, signif);
    QCOMPARE(int(v[1].NumVoie), numero);

    // The save keeps every section of the file, whatever they hold.
    const QString avant = DecodeTexteIni(octets);
    const QList<QString> sections = TFichierIni(avant).sections();
    QVERIFY(SauveConfig(nom, v, true));
    const QString apres = DecodeTexteIni(contenu(nom));
    const TFichierIni relu(apres);
    for (const QString &s : sections)
        QVERIFY2(relu.contientSection(s), qPrintable(s));
    QCOMPARE(relu.lit(QStringLiteral("Constante"), QStringLiteral("Nom")), c.nomConstante);
    TVoiesMult lu;
    TConfigMultimetre c2;
    QVERIFY(LitConfig(nom, lu, c2));
    for (int i = 0; i < NbreVoiesConfig; ++i)
        QCOMPARE(champs(lu[size_t(i)]), champs(v[size_t(i)]));
}

void TestConfigMult::caracteresHorsWindows1252()
{
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.od"));
    ecrit(nom, "[Voie0]\r\nNom=f\r\n");
    TVoiesMult v = voiesParDefaut();
    v[3].Nom = QStringLiteral("φ");
    QVERIFY(SauveConfig(nom, v, true));
    // Windows-1252 has no φ: the file is written in UTF-8 rather than losing it.
    QVERIFY(contenu(nom).startsWith("\xEF\xBB\xBF[Voie0]\r\nNom=f\r\n"));
    TVoiesMult lu = voiesParDefaut();
    TConfigMultimetre c;
    QVERIFY(LitConfig(nom, lu, c));
    QCOMPARE(lu[3].Nom, QStringLiteral("φ"));

    // Windows-1252 text that would read as UTF-8 is marked as UTF-8 too.
    for (const QString &t : {QStringLiteral("Nom=\u00C3\u00A9\r\n"), QStringLiteral("Nom=\u0081\u00E9\r\n"),
                             QStringLiteral("Nom=é\r\n")}) {
        QCOMPARE(DecodeTexteIni(EncodeTexteIni(t)), t);
    }
    QCOMPARE(EncodeTexteIni(QStringLiteral("Num\u00E9ro=\u0090")), QByteArray("Num\xE9ro=\x90"));
}

void TestConfigMult::sauvegardeEchouee()
{
    // A file size limit makes writes past 4 KiB fail, as a full disk does.
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.OD"));
    const QByteArray ancien = "[Constante]\r\nNom=R\r\n[Notes]\r\n" + QByteArray(5000, 'n') + "\r\n";
    ecrit(nom, ancien);
    rlimit avant {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &avant) == 0);
    rlimit petite = avant;
    petite.rlim_cur = 4096;
    auto *signalAvant = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &petite) == 0);
    const bool ok = SauveConfig(nom, voiesParDefaut(), true);
    setrlimit(RLIMIT_FSIZE, &avant);
    std::signal(SIGXFSZ, signalAvant);
    QVERIFY(!ok);
    QCOMPARE(contenu(nom), ancien);
    QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{QStringLiteral("essai.OD")});
}

void TestConfigMult::nomsDeFichier_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("autre extension") << "/tmp/essai.txt" << "/tmp/essai.OD";
    QTest::newRow("sans extension") << "/tmp/essai" << "/tmp/essai.OD";
    QTest::newRow("point final") << "/tmp/essai." << "/tmp/essai.OD";
    QTest::newRow("od minuscule") << "/tmp/essai.od" << "/tmp/essai.od";
    QTest::newRow("OD") << "/tmp/essai.OD" << "/tmp/essai.OD";
    QTest::newRow("point dans le dossier") << "/tmp/tp.v2/essai" << "/tmp/tp.v2/essai.OD";
    QTest::newRow("deux extensions") << "/tmp/essai.od.bak" << "/tmp/essai.od.OD";
}

void TestConfigMult::nomsDeFichier()
{
    QFETCH(QString, nom);
    QFETCH(QString, attendu);
    QCOMPARE(NomFichierConfig(nom), attendu);
}

void TestConfigMult::fichierDemarrage_data()
{
    QTest::addColumn<QStringList>("parametres");
    QTest::addColumn<QString>("attendu");
    QTest::newRow("aucun") << QStringList{} << "*";
    QTest::newRow("chemin coupé") << QStringList{"C:\\Mes", "config.od"} << "C:\\Mes config.od";
    QTest::newRow("chemin absolu") << QStringList{"/home/eleve/tp", "1.od"} << "/home/eleve/tp 1.od";
    QTest::newRow("options seules") << QStringList{"-v"} << "";
    QTest::newRow("options mêlées") << QStringList{"-v", "a.od", "--x"} << "a.od";
}

void TestConfigMult::fichierDemarrage()
{
    QFETCH(QStringList, parametres);
    QFETCH(QString, attendu);
    DossierDonnees = QStringLiteral("/home/eleve/Documents/Korvalis/");
    QCOMPARE(FichierConfigDefaut(), QStringLiteral("/home/eleve/Documents/Korvalis/Ondivar.OD"));
    if (attendu == QLatin1String("*"))
        attendu = FichierConfigDefaut();
    QCOMPARE(FichierConfigDemarrage(parametres), attendu);
}

QTEST_GUILESS_MAIN(TestConfigMult)
#include "tst_configmult.moc"
