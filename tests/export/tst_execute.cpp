// Execute and "ondivar-cli send" against the Korvalis stand-in (sim/korvalis).
#include "export/clisend.h"
#include "export/formedde.h"
#include "export/lien.h"
#include "link/dossiers.h"
#include "measure/unites.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {

class TDialogueNote : public IDialogue {
public:
    bool confirm(const QString &m) override { messages << m; return false; }
    void inform(const QString &m) override { messages << m; }
    QStringList messages;
};

// The system's launcher, counted.
class TLanceurCompte : public ILanceur {
public:
    // counts the processes really started
    bool ouvre(const QString &c) override { const bool ok = systeme.ouvre(c); ouvertures += ok; return ok; }
    bool lance(const QString &c) override { const bool ok = systeme.lance(c); lancements += ok; return ok; }
    int ouvertures = 0;
    int lancements = 0;
    TLanceurSysteme systeme;
};

// A process that is gone (or only a zombie nobody reaps).
bool disparu(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray s = stat.readAll();
    const qsizetype p = s.lastIndexOf(')');
    return p > 0 && s.mid(p + 2, 1) == "Z";
}

// One transfer text with the characters that matter: "£", "…", tabs, CR LF.
const QString page = QStringLiteral("/opt/ondivar\r\nAcquisition par HP\r\nEssai \u00A3 \u2026\r\nt\tVA\r\ns\tV\r\n"
                                    "temps\tTension\r\n0.00000E+0\t1.00000E+0\r\n");

} // namespace

class TestExecute : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { QDir(DossierLien()).removeRecursively(); }
    void init();
    void cleanup();
    void enMarche();
    void lanceParLeBureau();
    void demarrageLent();
    void conversationRefusee();
    void commandeRefusee();
    void fermeEntreDeuxEnvois();
    void cliEnvoie();
    void cliErreurs_data();
    void cliErreurs();
    void cliKorvalisIntrouvable();

private:
    void ecritLanceur(const QString &options);
    void demarreStub(const QString &options = QString());
    void arreteStubs();
    QStringList journal() const;
    QByteArray enregistre(const QString &nom) const;
    std::unique_ptr<TFormDDE> formeDDE();

    QTemporaryDir tmp;
    QString dossier;     // what the stand-in records
    QString lanceur;     // the script the Korvalis settings name
    QProcess *direct = nullptr;
    TDialogueNote note;
    TLanceurCompte compte;
    QList<int> attentes;
    int deja = 0;   // launches of this test already stopped
};

void TestExecute::initTestCase()
{
    qputenv("ONDIVAR_LIEN_SUFFIXE", QByteArray("-tst-execute-") + QByteArray::number(QCoreApplication::applicationPid()));
    dossier = tmp.filePath(QStringLiteral("enregistrements"));
    lanceur = tmp.filePath(QStringLiteral("korvalis.sh"));
    const QString ini = tmp.filePath(QStringLiteral("Korvalis.ini"));
    QSettings r(ini, QSettings::IniFormat);
    r.setValue(QStringLiteral("Korvalis/Path"), lanceur);
    r.sync();
    qputenv("ONDIVAR_KORVALIS_INI", ini.toLocal8Bit());
    DossierAnalyse = tmp.filePath(QStringLiteral("programmes/Quintare/Korvalis/"));
}

void TestExecute::init()
{
    QDir(dossier).removeRecursively();
    QDir().mkpath(dossier);
    QFile::remove(CheminPressePapiersLien());
    ecritLanceur(QString());
    note.messages.clear();
    setDialogue(&note);
    compte.ouvertures = compte.lancements = 0;
    deja = 0;
    attentes.clear();
}

void TestExecute::cleanup()
{
    setDialogue(nullptr);
    arreteStubs();
    SupprimeSemaphore(ServiceKorvalis());
}

void TestExecute::ecritLanceur(const QString &options)
{
    QFile f(lanceur);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QStringLiteral("#!/bin/sh\nexec '%1' --dossier '%2' --duree 60 %3 \"$@\"\n")
                .arg(QStringLiteral(KORVALIS_STUB), dossier, options)
                .toLocal8Bit());
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestExecute::demarreStub(const QString &options)
{
    ecritLanceur(options);
    direct = new QProcess(this);
    direct->start(lanceur, {});
    QVERIFY(direct->waitForStarted(5000));
    QVERIFY(QTest::qWaitFor([this] { return journal().contains(QStringLiteral("pret")); }, 10000));
    QVERIFY(SemaphoreExiste(ServiceKorvalis()));
}

void TestExecute::arreteStubs()
{
    // every stand-in started (here or by Execute) writes its pid first: wait for all of them
    const int attendus = (direct ? 1 : 0) + compte.ouvertures + compte.lancements - deja;
    QList<qint64> pids;
    auto litPids = [&] {
        pids.clear();
        QFile f(dossier + QStringLiteral("/pids"));
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray &l : f.readAll().split('\n'))
                if (l.toLongLong() > 0)
                    pids << l.toLongLong();
        return pids.size() >= attendus;
    };
    QVERIFY(QTest::qWaitFor(litPids, 10000));
    deja += pids.size() - (direct ? 1 : 0);
    for (const qint64 pid : pids)
        ::kill(pid_t(pid), SIGTERM);
    if (direct) {
        direct->waitForFinished(5000);
        delete direct;
        direct = nullptr;
    }
    for (const qint64 pid : pids)
        QVERIFY(QTest::qWaitFor([pid] { return disparu(pid); }, 5000));
}

QStringList TestExecute::journal() const
{
    QFile f(dossier + QStringLiteral("/journal.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray TestExecute::enregistre(const QString &nom) const
{
    QFile f(dossier + QLatin1Char('/') + nom);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

std::unique_ptr<TFormDDE> TestExecute::formeDDE()
{
    auto d = std::make_unique<TFormDDE>(false);
    d->setLanceur(&compte);
    d->attente = [this](int ms) { attentes << ms; QThread::msleep(ulong(ms)); };
    return d;
}

void TestExecute::enMarche()
{
    demarreStub();
    auto dde = formeDDE();
    QCOMPARE(dde->CheminKorvalis(), lanceur);
    const Tenvoi ordres[] = {eLoad, eAdd, ePlus, eAddCol};
    for (const Tenvoi o : ordres)
        QCOMPARE(dde->Execute(o, page + MacroEnvoi(o)), TResultatEnvoi::Envoye);
    QCOMPARE(compte.ouvertures + compte.lancements, 0);
    QVERIFY(attentes.isEmpty());
    QVERIFY(note.messages.isEmpty());
    for (int i = 0; i < 4; ++i) {
        const QString n = QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0'));
        QCOMPARE(enregistre(QStringLiteral("macro-") + n + QStringLiteral(".txt")), MacroEnvoi(ordres[i]).toLatin1());
        QCOMPARE(enregistre(QStringLiteral("presse-papiers-") + n + QStringLiteral(".txt")),
                 (page + MacroEnvoi(ordres[i])).toUtf8());
    }
    // one conversation per transfer, one macro each, closed every time
    const QStringList une = {QStringLiteral("conversation ServeurDDE"), QStringLiteral("avis ServeurItem"),
                             QStringLiteral("macro CLIP|LOAD"), QStringLiteral("fin conversation")};
    QTRY_COMPARE(journal().count(QStringLiteral("fin conversation")), 4);
    QCOMPARE(journal().mid(1, 4), une);
    QCOMPARE(journal().count(QStringLiteral("conversation ServeurDDE")), 4);
    QCOMPARE(QGuiApplication::clipboard()->text(), page + MacroEnvoi(eAddCol));
}

void TestExecute::lanceParLeBureau()
{
    QVERIFY(!SemaphoreExiste(ServiceKorvalis()));
    auto dde = formeDDE();
    QCOMPARE(dde->Execute(eLoad, page), TResultatEnvoi::Envoye);
    QCOMPARE(compte.ouvertures, 1);
    QCOMPARE(compte.lancements, 0);
    QCOMPARE(attentes, QList<int>{2000});
    QCOMPARE(enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
    QCOMPARE(enregistre(QStringLiteral("presse-papiers-001.txt")), page.toUtf8());
}

void TestExecute::demarrageLent()
{
    ecritLanceur(QStringLiteral("--lent"));
    auto dde = formeDDE();
    QCOMPARE(dde->Execute(ePlus, page), TResultatEnvoi::Envoye);
    // the desktop launch and its wait, the connection's own launch, the second attempt
    QCOMPARE(compte.ouvertures, 1);
    QCOMPARE(compte.lancements, 1);
    QCOMPARE(attentes, (QList<int>{2000, 2000}));
    QCOMPARE(enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|PLUS"));
    QVERIFY(note.messages.isEmpty());
}

void TestExecute::conversationRefusee()
{
    demarreStub(QStringLiteral("--refuse-conversation"));
    auto dde = formeDDE();
    QCOMPARE(dde->Execute(eLoad, page), TResultatEnvoi::ImpossibleDeLancer);
    QCOMPARE(note.messages, QStringList{QStringLiteral("Impossible de lancer Korvalis")});
    QCOMPARE(compte.ouvertures, 0);   // running: no desktop launch
    QCOMPARE(compte.lancements, 2);   // one plain launch per attempt
    QCOMPARE(attentes, QList<int>{2000});
    QCOMPARE(enregistre(QStringLiteral("macro-001.txt")), QByteArray("<absent>"));
    // the clipboard keeps the text for a paste by hand
    QCOMPARE(QGuiApplication::clipboard()->text(), page);
    QCOMPARE(LitPressePapiersLien(), page.toUtf8());
}

void TestExecute::commandeRefusee()
{
    demarreStub(QStringLiteral("--refuse-commande --refuse-avis"));
    auto dde = formeDDE();
    QCOMPARE(dde->Execute(eAdd, page), TResultatEnvoi::TransfertNonExecute);
    QCOMPARE(note.messages, QStringList{QStringLiteral("Transfert non exécuté")});
    QTRY_VERIFY(journal().contains(QStringLiteral("fin conversation")));
    QVERIFY(journal().contains(QStringLiteral("avis refusé ServeurItem")));   // the opening did not fail for it
    QVERIFY(journal().contains(QStringLiteral("commande refusée CLIP|ADD")));
}

void TestExecute::fermeEntreDeuxEnvois()
{
    demarreStub();
    auto dde = formeDDE();
    QCOMPARE(dde->Execute(eLoad, page), TResultatEnvoi::Envoye);
    arreteStubs();
    QVERIFY(!SemaphoreExiste(ServiceKorvalis()));   // the stand-in took its semaphore away
    QFile::remove(dossier + QStringLiteral("/pids"));
    QCOMPARE(dde->Execute(eAdd, page), TResultatEnvoi::Envoye);
    QCOMPARE(compte.ouvertures, 1);   // found absent, launched again
    QCOMPARE(enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|ADD"));
    QCOMPARE(journal().count(QStringLiteral("pret")), 2);
}

void TestExecute::cliEnvoie()
{
    demarreStub();
    const QString fichier = tmp.filePath(QStringLiteral("page.txt"));
    {
        QFile f(fichier);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(page.toUtf8());
    }
    QString sortie, erreurs;
    QTextStream out(&sortie), err(&erreurs);
    QCOMPARE(cliSend({QStringLiteral("--ordre"), QStringLiteral("load"), fichier}, out, err), 0);
    QCOMPARE(erreurs, QString());
    QCOMPARE(enregistre(QStringLiteral("macro-001.txt")), QByteArray("CLIP|LOAD"));
    QCOMPARE(enregistre(QStringLiteral("presse-papiers-001.txt")), page.toUtf8());
    // standard input, Windows-1252 bytes ("£" A3, "…" 85) read as such
    QBuffer entree;
    entree.setData("Essai \xA3 \x85\r\n");
    QVERIFY(entree.open(QIODevice::ReadOnly));
    QCOMPARE(cliSend({QStringLiteral("--ordre=ADDCOL"), QStringLiteral("-")}, out, err, entree), 0);
    QCOMPARE(enregistre(QStringLiteral("macro-002.txt")), QByteArray("CLIP|ADDCOL"));
    QCOMPARE(enregistre(QStringLiteral("presse-papiers-002.txt")), QStringLiteral("Essai \u00A3 \u2026\r\n").toUtf8());
}

void TestExecute::cliErreurs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("rien") << QStringList{} << "L'option --ordre manque.";
    QTest::newRow("ordre inconnu") << QStringList{"--ordre", "charge", "f"} << "Ordre inconnu : charge";
    QTest::newRow("ordre sans valeur") << QStringList{"--ordre"} << "L'option --ordre demande une valeur.";
    QTest::newRow("sans fichier") << QStringList{"--ordre", "load"} << "Le fichier du texte à transmettre manque.";
    QTest::newRow("fichier absent") << QStringList{"--ordre", "load", "/absent/page.txt"}
                                    << "Impossible de lire le fichier « /absent/page.txt ».";
    QTest::newRow("option inconnue") << QStringList{"--ordre", "load", "--vite", "f"} << "Option inconnue : --vite";
}

void TestExecute::cliErreurs()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QString sortie, erreurs;
    QTextStream out(&sortie), err(&erreurs);
    QCOMPARE(cliSend(args, out, err), 2);
    QVERIFY2(erreurs.startsWith(message + QLatin1Char('\n')), qPrintable(erreurs));
}

void TestExecute::cliKorvalisIntrouvable()
{
    // no settings, no installation folder: the bare name, which nothing answers to
    const QByteArray ini = qgetenv("ONDIVAR_KORVALIS_INI");
    qputenv("ONDIVAR_KORVALIS_INI", tmp.filePath(QStringLiteral("absent.ini")).toLocal8Bit());
    qputenv("PATH", tmp.filePath(QStringLiteral("vide")).toLocal8Bit());
    QString sortie, erreurs;
    QTextStream out(&sortie), err(&erreurs);
    QBuffer entree;
    entree.setData("texte");
    QVERIFY(entree.open(QIODevice::ReadOnly));
    const int code = cliSend({QStringLiteral("--ordre"), QStringLiteral("plus"), QStringLiteral("-")}, out, err, entree);
    qputenv("ONDIVAR_KORVALIS_INI", ini);
    QCOMPARE(code, 1);
    QCOMPARE(erreurs, QStringLiteral("Impossible de lancer Korvalis\n"));
}

QTEST_MAIN(TestExecute)
#include "tst_execute.moc"
