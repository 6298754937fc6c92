#pragma once

#include "controller/Clock.h"

#include <QList>

// A clock the test moves by hand. Its timers fire only inside advance(), in the order of
// their deadlines; events posted to the event loop run between them, as they would.
class TestClock final : public Clock {
public:
    QDateTime now() const override;
    TimePoint monotonic() const override;
    std::unique_ptr<ClockTimer> makeTimer() const override;

    // Moves time on by `seconds`, firing every timer that falls due on the way.
    void advance(double seconds);
    // Runs what is posted to the event loop, without moving time.
    void settle() const;

private:
    class Timer;
    Timer* nextDue(qint64 limitMs) const;

    qint64 m_elapsedMs = 0;
    mutable quint64 m_nextSequence = 0;
    mutable QList<Timer*> m_timers;
};
