#include "link/ticktimer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {
std::function<qint64()> &source()
{
    static std::function<qint64()> s;
    return s;
}

qint64 realMsecs()
{
    static QElapsedTimer t = [] { QElapsedTimer e; e.start(); return e; }();
    return t.elapsed();
}
}

namespace TickClock {
qint64 msecs() { return source() ? source()() : realMsecs(); }
void setSource(std::function<qint64()> s) { source() = std::move(s); }
qint64 currentTick() { return msecs() / 55; }
}

void TickTimer::StartTimer(qint64 ticks)
{
    if (ticks > MaxTicks)
        ticks = MaxTicks;
    // Kept in milliseconds: a timer of n ticks lasts n × 55 ms from the moment it is
    // armed, not until the n-th boundary of a coarse tick count (up to a tick more).
    start_ = TickClock::msecs();
    expiry_ = start_ + ticks * 55;
}

void TickTimer::StartTimerSecs(qint64 seconds)
{
    StartTimer(seconds * 1675 / 92);
}

// The clock is a 64-bit monotonic count, so it never wraps during a run.
bool TickTimer::TimerExpired() const { return TickClock::msecs() > expiry_; }

qint64 TickTimer::ElapsedTicks() const { return (TickClock::msecs() - start_) / 55; }

void DelayTicks(qint64 ticks, bool pump)
{
    if (ticks < 1)
        return;
    TickTimer t;
    t.StartTimer(ticks);
    while (!t.TimerExpired()) {
        if (pump) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        } else {
            QThread::usleep(500);
        }
    }
}
