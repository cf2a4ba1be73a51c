#pragma once
// A pseudo-terminal whose master side plays an instrument: each received command line
// is answered by a script.
#include <QByteArray>
#include <QList>
#include <QSocketNotifier>
#include <QString>
#include <QtTest>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <termios.h>
#include <unistd.h>

struct InstrumentScripte {
    int master = -1;
    int garde = -1;
    QString slave;
    QList<QByteArray> recu;   // command lines heard, in order
    // Reply to a command line (without LF); an empty answer is silence.
    std::function<QByteArray(const QByteArray &)> script;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray partiel;

    InstrumentScripte()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        slave = QString::fromLatin1(ptsname(master));
        termios t;
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        fcntl(master, F_SETFL, O_NONBLOCK);
        // Holding the slave open keeps the master readable without EIO between openings.
        garde = ::open(slave.toLatin1().constData(), O_RDWR | O_NOCTTY);
        termios ts;
        tcgetattr(garde, &ts);
        cfmakeraw(&ts);
        tcsetattr(garde, TCSANOW, &ts);
        notifier = std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { lit(); });
    }
    ~InstrumentScripte()
    {
        notifier.reset();
        ::close(garde);
        ::close(master);
    }
    void lit()
    {
        char buf[512];
        ssize_t n;
        while ((n = ::read(master, buf, sizeof buf)) > 0)
            partiel.append(buf, n);
        qsizetype lf;
        while ((lf = partiel.indexOf('\n')) >= 0) {
            const QByteArray ligne = partiel.left(lf);
            partiel.remove(0, lf + 1);
            recu << ligne;
            const QByteArray rep = script ? script(ligne) : QByteArray();
            if (!rep.isEmpty())
                (void)!::write(master, rep.constData(), size_t(rep.size()));
        }
    }
};
