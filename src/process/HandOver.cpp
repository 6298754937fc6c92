#include "process/HandOver.h"

#include <QSocketNotifier>
#include <sys/eventfd.h>
#include <unistd.h>

HandOver::HandOver(QObject* parent)
    : QObject(parent)
    , m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    m_notifier = std::make_unique<QSocketNotifier>(m_wake, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &HandOver::run);
}

HandOver::~HandOver()
{
    m_notifier.reset();
    ::close(m_wake);
    const std::lock_guard lock(m_mutex);
    m_work.clear();
}

void HandOver::post(std::function<void()> work)
{
    {
        const std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    const quint64 one = 1;
    [[maybe_unused]] const auto written = ::write(m_wake, &one, sizeof one);
}

void HandOver::run()
{
    quint64 count = 0;
    [[maybe_unused]] const auto read = ::read(m_wake, &count, sizeof count);
    std::deque<std::function<void()>> work;
    {
        const std::lock_guard lock(m_mutex);
        work.swap(m_work);
    }
    for (auto& item : work)
        item();
}
