#include "TestClock.h"

#include <QCoreApplication>
#include <cmath>

namespace {

// A fixed afternoon, so that texts with times are the same on every run.
const QDateTime start(QDate(2026, 12, 5), QTime(14, 3, 22, 105), Qt::UTC);
// Far from the steady clock's epoch, so that "the distant past" lies before it.
constexpr qint64 monotonicStartMs = 1'000'000;

} // namespace

class TestClock::Timer final : public ClockTimer {
public:
    explicit Timer(const TestClock& clock)
        : m_clock(clock)
    {
        m_clock.m_timers.append(this);
    }
    ~Timer() override { m_clock.m_timers.removeOne(this); }

    void start(double seconds, std::function<void()> fire) override
    {
        m_fire = std::move(fire);
        const double ms = seconds > 0 ? std::ceil(seconds * 1000.0) : 0.0;
        m_dueMs = m_clock.m_elapsedMs + qint64(std::min(ms, 86'400'000.0));
        m_sequence = m_clock.m_nextSequence++;
        m_active = true;
    }
    void stop() override
    {
        m_active = false;
        m_fire = nullptr;
    }
    bool isActive() const override { return m_active; }

    qint64 dueMs() const { return m_dueMs; }
    quint64 sequence() const { return m_sequence; }
    void fire()
    {
        m_active = false;
        if (auto fire = std::exchange(m_fire, nullptr))
            fire();
    }

private:
    const TestClock& m_clock;
    std::function<void()> m_fire;
    qint64 m_dueMs = 0;
    quint64 m_sequence = 0;
    bool m_active = false;
};

QDateTime TestClock::now() const
{
    return start.addMSecs(m_elapsedMs);
}

Clock::TimePoint TestClock::monotonic() const
{
    return TimePoint(std::chrono::milliseconds(monotonicStartMs + m_elapsedMs));
}

std::unique_ptr<ClockTimer> TestClock::makeTimer() const
{
    return std::make_unique<Timer>(*this);
}

TestClock::Timer* TestClock::nextDue(qint64 limitMs) const
{
    Timer* next = nullptr;
    for (Timer* timer : m_timers) {
        if (!timer->isActive() || timer->dueMs() > limitMs)
            continue;
        if (!next || timer->dueMs() < next->dueMs() ||
            (timer->dueMs() == next->dueMs() && timer->sequence() < next->sequence()))
            next = timer;
    }
    return next;
}

void TestClock::settle() const
{
    // Events posted while others are delivered wait for the next pass; a handful of
    // passes in a row that deliver nothing means the loop has nothing left to do.
    struct Counter : QObject {
        int delivered = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::MetaCall)
                ++delivered;
            return false;
        }
    } counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    for (int pass = 0; pass < 100'000; ++pass) {
        counter.delivered = 0;
        QCoreApplication::sendPostedEvents();
        if (counter.delivered == 0)
            break;
    }
    QCoreApplication::instance()->removeEventFilter(&counter);
}

void TestClock::advance(double seconds)
{
    const qint64 target = m_elapsedMs + qint64(std::llround(seconds * 1000.0));
    settle();
    while (Timer* timer = nextDue(target)) {
        m_elapsedMs = std::max(m_elapsedMs, timer->dueMs());
        timer->fire();
        settle();
    }
    m_elapsedMs = target;
}
