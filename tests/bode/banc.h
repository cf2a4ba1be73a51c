#pragma once
// A simulated instrument on a pseudo-terminal for the Bode tests: the simulator started with
// the test's options, the port that speaks to it and the commands it heard.
#include "link/echange.h"
#include "link/portserie.h"
#include "link/types.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TBancBode {
public:
    ~TBancBode() { arrete(); }

    // Starts the simulator (its path as ONDIVAR_SIM_EXE), names its line COM1 and opens it.
    bool demarre(Tconstructeur c, int modele, const QStringList &args, bool ouvrePort = true)
    {
        constructeur = c;
        modeleGDS = modele;
        journal = dossier.filePath(QStringLiteral("echo%1.txt").arg(++numero));
        sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(ONDIVAR_SIM_EXE),
                   QStringList{QStringLiteral("--baud"), QStringLiteral("230400"), QStringLiteral("--echo-log"), journal}
                       + args);
        if (!sim->waitForStarted(5000) || !sim->waitForReadyRead(5000))
            return false;
        const QByteArray first = sim->readLine().trimmed();
        if (!first.startsWith("PTY "))
            return false;
        qputenv("ONDIVAR_PORTS", "1=" + first.mid(4));
        if (!ouvrePort)
            return true;
        port = std::make_unique<TPortSerie>();
        port->setComNumber(1);
        port->setOpen(true);
        echange = std::make_unique<TEchange>(*port);
        return port->Open();
    }
    void arrete()
    {
        echange.reset();
        port.reset();
        if (sim) {
            sim->kill();
            sim->waitForFinished(3000);
            sim.reset();
        }
        qunsetenv("ONDIVAR_PORTS");
    }
    // Command lines the simulator heard, without the completion query the exchange appends.
    QStringList commandes() const
    {
        QFile f(journal);
        QStringList l;
        if (f.open(QIODevice::ReadOnly))
            for (QByteArray line : f.readAll().split('\n'))
                if (!line.isEmpty())
                    l << QString::fromLatin1(line.endsWith(";*OPC?") ? line.chopped(6) : line);
        return l;
    }

    QTemporaryDir dossier;
    QString journal;
    int numero = 0;
    std::unique_ptr<QProcess> sim;
    std::unique_ptr<TPortSerie> port;
    std::unique_ptr<TEchange> echange;
};
