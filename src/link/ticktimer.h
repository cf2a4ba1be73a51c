#pragma once
// Tick clock shared by every wait of the program: a tick is 55 ms.
#include <QtGlobal>
#include <functional>

namespace TickClock {
// Current time in milliseconds on a monotonic clock.
qint64 msecs();
// Tests replace the clock with one they drive; an empty function restores the real one.
void setSource(std::function<qint64()> source);
// Current tick (msecs() / 55).
qint64 currentTick();
}

class TickTimer {
public:
    static constexpr qint64 MaxTicks = 39045157;
    void StartTimer(qint64 ticks);
    void StartTimerSecs(qint64 seconds);
    bool TimerExpired() const;
    qint64 ElapsedTicks() const;
private:
    qint64 start_ = 0;
    qint64 expiry_ = 0;
};

// Waits the given number of ticks. With pump, pending events are handled meanwhile.
void DelayTicks(qint64 ticks, bool pump);
