// Starts the Rigol/Siglent simulator for a test and tells where it serves.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class SimRigol {
public:
    // dossierUsbtmc empty: a socket instrument; otherwise a USBTMC stand-in in that folder.
    SimRigol(const QStringList &args, const QString &dossierUsbtmc = QString())
    {
        QStringList a = args;
        if (!dossierUsbtmc.isEmpty())
            a << "--usbtmc" << "--dir" << dossierUsbtmc;
        proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proc.start(QStringLiteral(ONDIVAR_SIM_RIGOL_EXE), a);
        if (!proc.waitForStarted(5000))
            return;
        while (!proc.canReadLine() && proc.waitForReadyRead(5000)) {
        }
        const QString ligne = QString::fromLatin1(proc.readLine()).trimmed();
        if (ligne.startsWith("TCP 127.0.0.1:")) {
            ressource = QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(ligne.mid(14));
        } else if (ligne.startsWith("USBTMC ")) {
            chemin = ligne.mid(7);
        }
    }
    ~SimRigol()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();   // SIGTERM: the stand-in removes its link
            if (!proc.waitForFinished(3000)) {
                proc.kill();
                proc.waitForFinished(3000);
            }
        }
    }
    bool ok() const { return !ressource.isEmpty() || !chemin.isEmpty(); }

    QProcess proc;
    QString ressource;   // socket instruments
    QString chemin;      // USBTMC stand-ins
};
