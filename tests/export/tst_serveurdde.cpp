// The program's own service, the names of the link and where Korvalis is looked for.
#include "export/formedde.h"
#include "export/lien.h"

#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {

// Runs a client conversation on its own thread (the server needs this thread's event loop).
template <class F>
void surUnAutreFil(F f)
{
    QThread *fil = QThread::create(f);
    fil->start();
    QVERIFY(QTest::qWaitFor([fil] { return fil->isFinished(); }, 10000));
    delete fil;
}

void ecritFichier(const QString &chemin, const QByteArray &octets = "x")
{
    QFile f(chemin);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(octets);
}

} // namespace

class TestServeurDDE : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { QDir(DossierLien()).removeRecursively(); }
    void macros_data();
    void macros();
    void conversation();
    void conversationRefusee();
    void tramesIncorrectes();
    void serviceDejaPris();
    void nomsDuLien();
    void semaphoreSonde();
    void cheminKorvalis_data();
    void cheminKorvalis();
private:
    QString service;
};

void TestServeurDDE::initTestCase()
{
    qputenv("ONDIVAR_LIEN_SUFFIXE", QByteArray("-tst-serveur-") + QByteArray::number(QCoreApplication::applicationPid()));
    service = QStringLiteral("Ondivar");
}

void TestServeurDDE::macros_data()
{
    QTest::addColumn<QByteArray>("commande");
    QTest::addColumn<int>("appels");
    QTest::newRow("FOCUS") << QByteArray("FOCUS\0", 6) << 1;
    QTest::newRow("casse") << QByteArray("fOcUs") << 1;
    QTest::newRow("CONFIG|LOAD") << QByteArray("Config|Load") << 1;
    QTest::newRow("GETDATA") << QByteArray("GETDATA") << 1;
    QTest::newRow("argument ignore") << QByteArray("FOCUS(C:\\essai.kvx)") << 1;
    QTest::newRow("fin de ligne") << QByteArray("FOCUS\r\n") << 1;
    QTest::newRow(")( pris en entier") << QByteArray("FOCUS)(") << 0;
    QTest::newRow("( sans )") << QByteArray("FOCUS(") << 0;
    QTest::newRow("CONFIG|SAVE") << QByteArray("CONFIG|SAVE") << 0;
    QTest::newRow("inconnu") << QByteArray("OUVRE") << 0;
    QTest::newRow("espace") << QByteArray("FOCUS (x)") << 0;
    QTest::newRow("deux lignes") << QByteArray("FOCUS\r\nFOCUS") << 0;
    QTest::newRow("deux lignes LF") << QByteArray("FOCUS\nGETDATA\n") << 0;
    QTest::newRow("vide") << QByteArray("\0", 1) << 0;
    QTest::newRow("255") << QByteArray("FOCUS(" + QByteArray(248, 'x') + ")") << 1;
    QTest::newRow("256") << QByteArray("FOCUS(" + QByteArray(249, 'x') + ")") << 0;
}

void TestServeurDDE::macros()
{
    QFETCH(QByteArray, commande);
    QFETCH(int, appels);
    TServeurDDE s;
    int n = 0;
    s.setFocusMain = [&n] { ++n; };
    s.ServeurDDEExecuteMacro(LignesCommande(commande));
    QCOMPARE(n, appels);
    // a failure inside the handler reaches no one
    s.setFocusMain = [] { throw std::runtime_error("fenêtre absente"); };
    s.ServeurDDEExecuteMacro(LignesCommande(commande));
}

void TestServeurDDE::conversation()
{
    TServeurDDE s;
    int focus = 0;
    s.setFocusMain = [&focus] { ++focus; };
    QString erreur;
    QVERIFY2(s.enregistre(service, &erreur), qPrintable(erreur));
    bool ouverte = false, avis = true, focusOk = false, sauve = false, longue = true, deux = false;
    surUnAutreFil([&] {
        TConversationDDE c;
        ouverte = c.ouvre(QStringLiteral("ONDIVAR"), QStringLiteral("ServeurDDE"));
        avis = c.avise(QStringLiteral("ServeurItem"));   // nothing to advise here
        focusOk = c.execute("FOCUS(x)");
        sauve = c.execute("CONFIG|SAVE");
        longue = c.execute(QByteArray(300, 'F'));
        deux = c.execute("FOCUS\r\nFOCUS");
        c.ferme();
    });
    QVERIFY(ouverte);
    QVERIFY(!avis);
    QVERIFY(focusOk && sauve && deux);
    QVERIFY(!longue);   // an over-long line is refused
    QTRY_COMPARE(focus, 2);   // the opening, then "FOCUS(x)"
}

void TestServeurDDE::conversationRefusee()
{
    TServeurDDE s;
    int focus = 0;
    s.setFocusMain = [&focus] { ++focus; };
    QVERIFY(s.enregistre(service));
    bool ouverte = true, execute = true;
    surUnAutreFil([&] {
        TConversationDDE c;
        ouverte = c.ouvre(service, QStringLiteral("AutreSujet"));
        execute = c.execute("FOCUS");
    });
    QVERIFY(!ouverte);
    QVERIFY(!execute);
    QCOMPARE(focus, 0);
}

void TestServeurDDE::tramesIncorrectes()
{
    TServeurDDE s;
    int focus = 0;
    s.setFocusMain = [&focus] { ++focus; };
    QVERIFY(s.enregistre(service));
    QLocalSocket brut;
    brut.connectToServer(CheminService(service));
    QVERIFY(brut.waitForConnected(1000));
    // a length beyond the limit: the server drops the connection, allocates nothing
    brut.write(QByteArray("X\xFF\xFF\xFF\xFF", 5));
    brut.flush();
    QTRY_COMPARE(brut.state(), QLocalSocket::UnconnectedState);
    // an execute before any conversation is refused
    QLocalSocket sans;
    sans.connectToServer(CheminService(service));
    QVERIFY(sans.waitForConnected(1000));
    sans.write(EmballeTrame(Trame::Execution, "FOCUS"));
    QTRY_VERIFY(sans.bytesAvailable() >= 5);
    QCOMPARE(sans.readAll(), EmballeTrame(Trame::Refus));
    QCOMPARE(focus, 0);
    // the server still answers
    bool ouverte = false;
    surUnAutreFil([&] {
        TConversationDDE c;
        ouverte = c.ouvre(service, QStringLiteral("ServeurDDE"));
    });
    QVERIFY(ouverte);
}

void TestServeurDDE::serviceDejaPris()
{
    TServeurDDE premier;
    QVERIFY(premier.enregistre(service));
    TServeurDDE second;
    QString erreur;
    QVERIFY(!second.enregistre(service, &erreur));
    QVERIFY(erreur.contains(QStringLiteral("déjà ouvert")));
    QVERIFY(premier.actif());
    // a socket left behind by a process that died is replaced
    premier.arrete();
    ecritFichier(CheminService(service));
    QVERIFY(second.enregistre(service, &erreur));
}

void TestServeurDDE::nomsDuLien()
{
    const QByteArray avant = qgetenv("ONDIVAR_LIEN_SUFFIXE");
    QCOMPARE(NomServiceProgramme(QStringLiteral("/usr/bin/ondivar")), QStringLiteral("ondivar"));
    QCOMPARE(NomServiceProgramme(QStringLiteral("/opt/Ondivar.v3.exe")), QStringLiteral("Ondivar"));
    QCOMPARE(NomServiceProgramme(QString()), QStringLiteral("Ondivar"));
    QCOMPARE(MacroEnvoi(eAdd), QStringLiteral("CLIP|ADD"));
    QCOMPARE(MacroEnvoi(eLoad), QStringLiteral("CLIP|LOAD"));
    QCOMPARE(MacroEnvoi(ePlus), QStringLiteral("CLIP|PLUS"));
    QCOMPARE(MacroEnvoi(eAddCol), QStringLiteral("CLIP|ADDCOL"));
    // the folder is private; a suffix that could leave it is ignored
    const QString dossier = DossierLien();
    QVERIFY(!dossier.isEmpty());
    QCOMPARE(QFileInfo(dossier).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
    qputenv("ONDIVAR_LIEN_SUFFIXE", "/../../etc");
    QCOMPARE(SuffixeLien(), QString());
    qputenv("ONDIVAR_LIEN_SUFFIXE", avant);
    QVERIFY(CheminService(QStringLiteral("../x")).isEmpty());
}

void TestServeurDDE::semaphoreSonde()
{
    const QString nom = QStringLiteral("KorvalisSonde");
    SupprimeSemaphore(nom);
    QVERIFY(!SemaphoreExiste(nom));
    QVERIFY(!SemaphoreExiste(nom));   // the probe left nothing behind
    QVERIFY(CreeSemaphore(nom));
    QVERIFY(SemaphoreExiste(nom));
    SupprimeSemaphore(nom);
    QVERIFY(!SemaphoreExiste(nom));
}

void TestServeurDDE::cheminKorvalis_data()
{
    QTest::addColumn<QString>("sousCle");      // [Korvalis] Path
    QTest::addColumn<QString>("cle");          // Path
    QTest::addColumn<QStringList>("fichiers"); // files that exist, relative to the folder
    QTest::addColumn<QString>("attendu");
    QTest::newRow("sous-clé") << "bin/k1" << "bin/k2" << QStringList{"bin/k1", "bin/k2", "Q/Korvalis"} << "bin/k1";
    QTest::newRow("sous-clé absente") << "bin/k1" << "bin/k2" << QStringList{"bin/k2", "Q/Korvalis"} << "bin/k2";
    QTest::newRow("valeurs vides") << "" << "" << QStringList{"Q/Korvalis"} << "Q/Korvalis";
    QTest::newRow("exe accepté") << "bin/k1" << "" << QStringList{"Q/Korvalis.exe"} << "Q/Korvalis.exe";
    QTest::newRow("rien") << "bin/k1" << "bin/k2" << QStringList{} << "Korvalis";
}

void TestServeurDDE::cheminKorvalis()
{
    QFETCH(QString, sousCle);
    QFETCH(QString, cle);
    QFETCH(QStringList, fichiers);
    QFETCH(QString, attendu);
    QTemporaryDir d;
    QDir(d.path()).mkpath(QStringLiteral("bin"));
    QDir(d.path()).mkpath(QStringLiteral("Q"));
    for (const QString &f : fichiers)
        ecritFichier(d.filePath(f));
    const QString ini = d.filePath(QStringLiteral("Korvalis.ini"));
    {
        QSettings r(ini, QSettings::IniFormat);
        r.setValue(QStringLiteral("Korvalis/Path"), sousCle.isEmpty() ? QString() : d.filePath(sousCle));
        r.setValue(QStringLiteral("Path"), cle.isEmpty() ? QString() : d.filePath(cle));
    }
    const QString trouve = TrouveCheminKorvalis(ini, d.filePath(QStringLiteral("Q")));
    QCOMPARE(trouve, attendu == QLatin1String("Korvalis") ? attendu : d.filePath(attendu));
}

QTEST_GUILESS_MAIN(TestServeurDDE)
#include "tst_serveurdde.moc"
