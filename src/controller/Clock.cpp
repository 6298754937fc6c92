#include "controller/Clock.h"

#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

// The event loop's timers count whole milliseconds; no wait of the controller is longer
// than an hour, so capping at a day only guards against nonsense values.
int toTimerMilliseconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return int(std::min(std::ceil(seconds * 1000.0), 86'400'000.0));
}

class EventLoopTimer final : public ClockTimer {
public:
    EventLoopTimer()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (auto fire = std::exchange(m_fire, nullptr))
                fire();
        });
    }
    void start(double seconds, std::function<void()> fire) override
    {
        m_fire = std::move(fire);
        m_timer.start(toTimerMilliseconds(seconds));
    }
    void stop() override
    {
        m_timer.stop();
        m_fire = nullptr;
    }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_fire;
};

} // namespace

std::unique_ptr<ClockTimer> Clock::makeTimer() const
{
    return std::make_unique<EventLoopTimer>();
}
