#pragma once
// A simulated instrument on a pseudo-terminal and a Korvalis stand-in, for the tests of the
// oscilloscope window and of "ondivar-cli acquire".
#include "export/formedde.h"
#include "link/dossiers.h"
#include "measure/unites.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TDialogueNote : public IDialogue {
public:
    bool confirm(const QString &m) override { questions << m; return reponse; }
    void inform(const QString &m) override { messages << m; }
    QStringList questions, messages;
    bool reponse = false;
};

// Everything lives in one temporary folder: settings, records of the stand-in, files.
class TBancOsc {
public:
    TBancOsc()
    {
        qputenv("ONDIVAR_CONFIG", chemin(QStringLiteral("ondivar.ini")).toLocal8Bit());
        qputenv("ONDIVAR_LIEN_SUFFIXE", QByteArray("-tst-osc-") + QByteArray::number(QCoreApplication::applicationPid()));
        const QString ini = chemin(QStringLiteral("Korvalis.ini"));
        QSettings r(ini, QSettings::IniFormat);
        r.setValue(QStringLiteral("Korvalis/Path"), chemin(QStringLiteral("absent/Korvalis")));
        r.sync();
        qputenv("ONDIVAR_KORVALIS_INI", ini.toLocal8Bit());
        DossierAnalyse = chemin(QStringLiteral("absent/"));
    }
    ~TBancOsc()
    {
        for (QProcess *p : {sim.get(), stub.get()})
            if (p) {
                p->terminate();
                if (!p->waitForFinished(3000)) {
                    p->kill();
                    p->waitForFinished(3000);
                }
            }
        qunsetenv("ONDIVAR_PORTS");
    }
    QString chemin(const QString &nom) const { return dossier.filePath(nom); }

    bool demarreSim(const QStringList &args)
    {
        sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(ONDIVAR_SIM_EXE), QStringList{QStringLiteral("--baud"), QStringLiteral("230400")} + args);
        if (!sim->waitForStarted(5000) || !sim->waitForReadyRead(5000))
            return false;
        const QByteArray first = sim->readLine().trimmed();
        if (!first.startsWith("PTY "))
            return false;
        qputenv("ONDIVAR_PORTS", "1=" + first.mid(4));
        return true;
    }
    // The simulator serving a generator too ("--generateur D" among args): the oscilloscope
    // on COM1, the generator on COM10 or its socket; generateur is the resource to give.
    bool demarreSimGenerateur(const QStringList &args)
    {
        sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(ONDIVAR_SIM_EXE), QStringList{QStringLiteral("--baud"), QStringLiteral("230400")} + args);
        if (!sim->waitForStarted(5000))
            return false;
        QByteArray pty;
        generateur.clear();
        while (generateur.isEmpty() && sim->waitForReadyRead(5000))
            while (sim->canReadLine()) {
                const QByteArray l = sim->readLine().trimmed();
                if (l.startsWith("PTY "))
                    pty = l.mid(4);
                else if (l.startsWith("GEN "))
                    generateur = QString::fromLatin1(l.mid(4));
            }
        if (pty.isEmpty() || generateur.isEmpty())
            return false;
        qputenv("ONDIVAR_PORTS", "1=" + pty + (generateur.startsWith(QLatin1String("TCPIP")) ? QByteArray() : ";10=" + generateur.toLocal8Bit()));
        if (!generateur.startsWith(QLatin1String("TCPIP")))
            generateur = QStringLiteral("COM10");
        return true;
    }
    bool demarreStub()
    {
        stub = std::make_unique<QProcess>();
        stub->start(QStringLiteral(KORVALIS_STUB),
                    {QStringLiteral("--dossier"), chemin(QStringLiteral("korvalis")), QStringLiteral("--duree"),
                     QStringLiteral("60")});
        if (!stub->waitForStarted(5000))
            return false;
        return QTest::qWaitFor([this] { return stub->canReadLine() && stub->readLine().startsWith("PRET"); }, 10000);
    }
    QByteArray enregistre(const QString &nom) const
    {
        QFile f(chemin(QStringLiteral("korvalis/")) + nom);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
    }

    QTemporaryDir dossier;
    QString generateur;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<QProcess> stub;
};
