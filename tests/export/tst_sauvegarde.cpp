// A save never costs the user a file: errors are reported, an earlier file stays intact.
#include "export/sauvegarde.h"
#include "export/windows1252.h"
#include "measure/unites.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class TDialogueNote : public IDialogue {
public:
    bool confirm(const QString &m) override { messages << m; return false; }
    void inform(const QString &m) override { messages << m; }
    QStringList messages;
};

TEnregistrement enregistrement(int n)
{
    TEnregistrement e;
    e.nbreLus = n;
    e.temps = [](int i) { return FormatNumber(i * 1e-3); };
    e.voies.append({1, QStringLiteral("VA"), QStringLiteral("Tension"), [](int i) { return FormatNumber(i * 0.5); }});
    return e;
}

QByteArray contenu(const QString &chemin)
{
    QFile f(chemin);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

const QString ancien = QStringLiteral("fichier antérieur\r\n");

} // namespace

class TestSauvegarde : public QObject {
    Q_OBJECT
private slots:
    void init() { setDialogue(&note); note.messages.clear(); }
    void cleanup() { setDialogue(nullptr); }
    void remplaceAtomiquement();
    void dossierProtege();
    void disquePlein();
    void disquePleinPetitTexte();
    void nomsImpossibles_data();
    void nomsImpossibles();
    void caracteresRemplaces();
private:
    TDialogueNote note;
};

void TestSauvegarde::remplaceAtomiquement()
{
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.KVX"));
    QVERIFY(EcritFichierTexte(nom, ancien).ok);
    QVERIFY(SauveEnregistrement(nom, TCheminSauvegarde::Oscillo, enregistrement(3), 1000, 0, 2, QStringLiteral("HP")));
    QVERIFY(contenu(nom).startsWith("QUINTARE KORVALIS WINDOWS 1.0\r\n"));
    QVERIFY(contenu(nom).endsWith("&3 VALEUR VAR\r\n0.00000E+0 0.00000E+0 \r\n1.00000E-3 5.00000E-1 \r\n2.00000E-3 1.00000E+0 \r\n"));
    QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{QStringLiteral("essai.KVX")});   // no temporary left
    QVERIFY(note.messages.isEmpty());
}

void TestSauvegarde::dossierProtege()
{
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("essai.txt"));
    QVERIFY(EcritFichierTexte(nom, ancien).ok);
    QFile::setPermissions(d.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    // root writes anywhere: check as an ordinary user for the length of the save
    const bool root = geteuid() == 0;
    if (root)
        setfsuid(65534);
    const bool ok = SauveEnregistrement(nom, TCheminSauvegarde::Oscillo, enregistrement(3), 1000, 0, 2, QStringLiteral("HP"));
    if (root)
        setfsuid(0);
    QFile::setPermissions(d.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!ok);
    QCOMPARE(note.messages.size(), 1);
    QVERIFY2(note.messages.at(0).startsWith(QStringLiteral("Erreur d'entrée/sortie")), qPrintable(note.messages.at(0)));
    QVERIFY(note.messages.at(0).contains(nom));
    QCOMPARE(contenu(nom), EnWindows1252(ancien));
}

void TestSauvegarde::disquePlein()
{
    // a file size limit makes every write past 4 KiB fail, as a full disk does
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("grand.csv"));
    QVERIFY(EcritFichierTexte(nom, ancien).ok);
    rlimit avant {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &avant) == 0);
    rlimit petite = avant;
    petite.rlim_cur = 4096;
    auto *signalAvant = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &petite) == 0);
    const bool ok = SauveEnregistrement(nom, TCheminSauvegarde::Oscillo, enregistrement(5000), 1000, 0, 4999,
                                        QStringLiteral("HP"));
    setrlimit(RLIMIT_FSIZE, &avant);
    std::signal(SIGXFSZ, signalAvant);
    QVERIFY(!ok);
    QCOMPARE(note.messages.size(), 1);
    QVERIFY(note.messages.at(0).startsWith(QStringLiteral("Erreur d'entrée/sortie")));
    QCOMPARE(contenu(nom), EnWindows1252(ancien));
    QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{QStringLiteral("grand.csv")});
}

void TestSauvegarde::disquePleinPetitTexte()
{
    // A text shorter than the file's write buffer goes to the disk in one piece at the end:
    // when the disk takes only part of it, the save fails all the same.
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("petit.txt"));
    QVERIFY(EcritFichierTexte(nom, ancien).ok);
    rlimit avant {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &avant) == 0);
    rlimit petite = avant;
    petite.rlim_cur = 4096;
    auto *signalAvant = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &petite) == 0);
    const TResultatSauvegarde r = EcritFichierTexte(nom, QString(6000, QLatin1Char('x')));
    setrlimit(RLIMIT_FSIZE, &avant);
    std::signal(SIGXFSZ, signalAvant);
    QVERIFY(!r.ok);
    QVERIFY(r.message.startsWith(QStringLiteral("Erreur d'entrée/sortie")));
    QCOMPARE(contenu(nom), EnWindows1252(ancien));
    QCOMPARE(QDir(d.path()).entryList(QDir::Files), QStringList{QStringLiteral("petit.txt")});
}

void TestSauvegarde::nomsImpossibles_data()
{
    QTest::addColumn<QString>("relatif");
    QTest::newRow("dossier absent") << "absent/essai.kvx";
    QTest::newRow("nom de dossier") << ".";
    QTest::newRow("vide") << "";
}

void TestSauvegarde::nomsImpossibles()
{
    QFETCH(QString, relatif);
    QTemporaryDir d;
    const QString nom = relatif.isEmpty() ? QString() : d.filePath(relatif);
    const TResultatSauvegarde r = EcritFichierTexte(nom, QStringLiteral("x"));
    QVERIFY(!r.ok);
    QVERIFY(r.message.startsWith(QStringLiteral("Erreur d'entrée/sortie")));
}

void TestSauvegarde::caracteresRemplaces()
{
    QTemporaryDir d;
    const QString nom = d.filePath(QStringLiteral("r.txt"));
    TEnregistrement e = enregistrement(1);
    e.voies[0].signif = QStringLiteral("R \u03A9 \u2026 \u00A3");
    QVERIFY(SauveEnregistrement(nom, TCheminSauvegarde::Oscillo, e, 1000, 0, 0, QStringLiteral("HP")));
    QVERIFY(contenu(nom).contains("temps\tR ? \x85 \xA3\r\n"));
    QCOMPARE(note.messages.size(), 1);   // the replaced character is reported, not dropped silently
    QVERIFY(note.messages.at(0).startsWith(QStringLiteral("1 caractère")));
}

QTEST_GUILESS_MAIN(TestSauvegarde)
#include "tst_sauvegarde.moc"
