#include "controller/Activity.h"

#include <QPointer>
#include <cmath>

namespace {

// The event loop's timers count whole milliseconds; longer waits are capped at a day
// (no activity of the controller sleeps longer than an hour).
int toTimerMilliseconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return int(std::min(std::ceil(seconds * 1000.0), 86'400'000.0));
}

} // namespace

Activity::Activity(QObject* context)
    : m_context(context)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, context, [this] {
        auto step = std::exchange(m_sleeping, nullptr);
        if (m_running && step)
            step();
    });
}

void Activity::start()
{
    cancel();
    ++m_run;
    m_running = true;
}

void Activity::cancel()
{
    m_timer.stop();
    m_sleeping = nullptr;
    m_running = false;
    ++m_run;
}

void Activity::sleep(double seconds, std::function<void()> step)
{
    if (!m_running)
        return;
    m_sleeping = std::move(step);
    m_timer.start(toTimerMilliseconds(seconds));
}

void Activity::post(std::function<void()> step)
{
    if (!m_running)
        return;
    QMetaObject::invokeMethod(
        m_context,
        [this, run = m_run, step = std::move(step), alive = QPointer<QObject>(m_context)] {
            if (alive && m_running && m_run == run)
                step();
        },
        Qt::QueuedConnection);
}
