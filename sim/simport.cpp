#include "simport.h"

#include <cerrno>
#include <time.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <QCoreApplication>
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr qint64 kChunkNs = 2'000'000; // write granularity

void makeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
}

speed_t speedFor(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}
} // namespace

SimPort::SimPort(SimEngine &engine, int baud, QObject *parent)
    : QObject(parent), engine_(engine), byteNs_(10'000'000'000LL / std::max(1, baud))
{
    clock_.start();
    txTimer_.setSingleShot(true);
    txTimer_.setTimerType(Qt::PreciseTimer);
    connect(&txTimer_, &QTimer::timeout, this, &SimPort::pump);
    rearm_.setSingleShot(true);
    connect(&rearm_, &QTimer::timeout, this, [this] { if (notifier_) notifier_->setEnabled(true); });
}

SimPort::~SimPort()
{
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
    if (slaveFd_ >= 0) ::close(slaveFd_);
}

bool SimPort::openPty(QString *slavePath, QString *error)
{
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
        if (error) *error = QString("pseudo-terminal: %1").arg(std::strerror(errno));
        return false;
    }
    const char *name = ptsname(fd_);
    if (!name) {
        if (error) *error = "ptsname failed";
        return false;
    }
    *slavePath = QString::fromLocal8Bit(name);
    slaveFd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveFd_ < 0) {
        if (error) *error = QString("%1: %2").arg(*slavePath, std::strerror(errno));
        return false;
    }
    makeRaw(slaveFd_);
    makeRaw(fd_);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    start();
    return true;
}

bool SimPort::openPath(const QString &path, QString *error)
{
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        if (error) *error = QString("%1: %2").arg(path, std::strerror(errno));
        return false;
    }
    if (isatty(fd_)) {
        makeRaw(fd_);
        termios t{};
        const speed_t sp = speedFor(int(10'000'000'000LL / byteNs_));
        if (sp != B0 && tcgetattr(fd_, &t) == 0) {
            cfsetispeed(&t, sp);
            cfsetospeed(&t, sp);
            tcsetattr(fd_, TCSANOW, &t);
        }
    }
    start();
    return true;
}

bool SimPort::setEchoLog(const QString &file, QString *error)
{
    echo_.setFileName(file);
    if (!echo_.open(QIODevice::Append | QIODevice::WriteOnly)) {
        if (error) *error = QString("%1: %2").arg(file, echo_.errorString());
        return false;
    }
    return true;
}

bool SimPort::hold(QString *error)
{
    const int fd = slaveFd_ >= 0 ? slaveFd_ : fd_;
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (error) *error = QString("lock: %1").arg(std::strerror(errno));
        return false;
    }
    return true;
}

void SimPort::hangUp()
{
    // The line goes away: both ends closed, the simulator ends. This may run inside the
    // notifier's own signal (a command read while the block goes out): the notifier is
    // disabled now and deleted later, and the reading loop sees the closed line.
    queue_.clear();
    txTimer_.stop();
    rearm_.stop();
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd_ >= 0) ::close(fd_);
    if (slaveFd_ >= 0) ::close(slaveFd_);
    fd_ = slaveFd_ = -1;
    QCoreApplication::exit(0);
}

void SimPort::start()
{
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read);
    connect(notifier_, &QSocketNotifier::activated, this, &SimPort::onReadable);
}

void SimPort::onReadable()
{
    char buf[4096];
    while (fd_ >= 0 && notifier_) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n > 0) {
            handleBytes(buf, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // End of file or EIO: the client side is closed. Poll again later
        // instead of spinning on the hang-up condition.
        notifier_->setEnabled(false);
        rearm_.start(50);
        return;
    }
}

void SimPort::handleBytes(const char *data, qint64 n)
{
    // The bytes are taken as arriving at the line rate from now on.
    const qint64 base = std::max(nowNs(), rxDoneNs_);
    rxDoneNs_ = base + n * byteNs_;
    for (qint64 i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\n') {
            if (static_cast<unsigned char>(c) >= 32 || c == '\t') {
                if (line_.size() < 65536)
                    line_.append(c);
            }
            continue;
        }
        const qint64 readyNs = base + (i + 1) * byteNs_;
        if (echo_.isOpen()) {
            echo_.write(line_ + "\n");
            echo_.flush();
        }
        for (const SimReply &r : engine_.processLine(line_)) {
            Pending p;
            p.bytes = r.bytes;
            p.notBeforeNs = readyNs + qint64(r.delayMs) * 1'000'000;
            p.hangup = r.hangup;
            queue_.push_back(p);
        }
        line_.clear();
    }
    pump();
}

// Timers count whole milliseconds, which would add up to a millisecond to every pause of
// the line: a pause is timed to wake a little early, and its last stretch is slept exactly.
// Answers true when the moment has come (the caller goes on at once).
bool SimPort::attendJusqua(qint64 wakeNs)
{
    const qint64 reste = wakeNs - nowNs();
    if (reste <= 0)
        return true;
    if (reste < 2'000'000) {
        const timespec ts{0, long(reste)};
        nanosleep(&ts, nullptr);
        return true;
    }
    txTimer_.start(int((reste - 1'000'000) / 1'000'000));
    return false;
}

void SimPort::pump()
{
    while (!queue_.empty() && fd_ >= 0) {
        Pending &p = queue_.front();
        const qint64 now = nowNs();
        if (p.startNs < 0) {
            const qint64 start = std::max(p.notBeforeNs, txFreeNs_);
            if (now < start) {
                if (attendJusqua(start))
                    continue;
                return;
            }
            // Late wake-ups are caught up from the scheduled start: no drift.
            p.startNs = start;
        }
        // A byte is on the client's side once its ten bit times have passed.
        const qint64 due = std::min<qint64>(p.bytes.size(), (now - p.startNs) / byteNs_);
        if (due > p.sent) {
            const ssize_t w = ::write(fd_, p.bytes.constData() + p.sent, size_t(due - p.sent));
            if (w > 0) {
                p.sent += w;
                stalledSinceNs_ = -1;
            } else if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                p.sent = p.bytes.size(); // nobody on the line: the bytes are lost
            } else {
                // Client not reading: retry, and drop the output after 2 s.
                if (stalledSinceNs_ < 0)
                    stalledSinceNs_ = now;
                if (now - stalledSinceNs_ > 2'000'000'000LL) {
                    queue_.clear();
                    if (slaveFd_ >= 0)
                        tcflush(slaveFd_, TCIFLUSH);
                    stalledSinceNs_ = -1;
                    txFreeNs_ = now;
                    return;
                }
                txTimer_.start(5);
                return;
            }
        }
        if (p.sent >= p.bytes.size()) {
            if (p.hangup) {
                hangUp();
                return;
            }
            txFreeNs_ = p.startNs + p.bytes.size() * byteNs_;
            queue_.pop_front();
            continue;
        }
        const qint64 nextDue = std::min<qint64>(p.bytes.size(), p.sent + std::max<qint64>(1, kChunkNs / byteNs_));
        const qint64 wake = p.startNs + nextDue * byteNs_;
        if (attendJusqua(wake))
            continue;
        return;
    }
}
