// Serial side of the simulator: pseudo-terminal (or existing device),
// line assembly, reply pacing at the configured baud rate.
#pragma once

#include "simengine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <deque>

class SimPort : public QObject {
    Q_OBJECT
public:
    SimPort(SimEngine &engine, int baud, QObject *parent = nullptr);
    ~SimPort() override;

    // Creates a pseudo-terminal; slavePath receives the client's path.
    bool openPty(QString *slavePath, QString *error);
    // Serves an existing tty device or pty slave.
    bool openPath(const QString &path, QString *error);
    bool setEchoLog(const QString &file, QString *error);
    // Holds the line as another program would: an exclusive lock on the device.
    bool hold(QString *error);

private:
    void start();
    void onReadable();
    void pump();
    bool attendJusqua(qint64 wakeNs);
    void handleBytes(const char *data, qint64 n);
    qint64 nowNs() const { return clock_.nsecsElapsed(); }

    struct Pending {
        QByteArray bytes;
        qint64 notBeforeNs = 0;
        qint64 startNs = -1; // wire start, fixed when the first byte is due
        qint64 sent = 0;
        bool hangup = false;
    };
    void hangUp();

    SimEngine &engine_;
    qint64 byteNs_;
    int fd_ = -1;
    int slaveFd_ = -1; // held open so the master never sees a hang-up
    QSocketNotifier *notifier_ = nullptr;
    QTimer txTimer_;
    QTimer rearm_;
    QElapsedTimer clock_;
    qint64 rxDoneNs_ = 0;
    qint64 txFreeNs_ = 0;
    qint64 stalledSinceNs_ = -1;
    QByteArray line_;
    std::deque<Pending> queue_;
    QFile echo_;
};
