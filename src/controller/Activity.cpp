#include "controller/Activity.h"

#include <QPointer>

Activity::Activity(QObject* context, const Clock& clock)
    : m_context(context)
    , m_timer(clock.makeTimer())
{
}

void Activity::start()
{
    cancel();
    m_running = true;
}

void Activity::cancel()
{
    m_timer->stop();
    m_running = false;
    ++m_run;
}

void Activity::after(double seconds, std::function<void()> step)
{
    if (!m_running)
        return;
    m_timer->start(seconds, std::move(step));
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
