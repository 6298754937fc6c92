#include "process/EpollEventDispatcher.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtCore/private/qtimerinfo_unix_p.h>
#include <cerrno>
#include <cstring>
#include <limits>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// Which readiness wakes which kind of notifier; a hang-up or an error wakes them all, so
// that the owner reads the end of the stream or the error.
constexpr uint32_t wakes[3] = {
    EPOLLIN | EPOLLHUP | EPOLLERR,  // QSocketNotifier::Read
    EPOLLOUT | EPOLLHUP | EPOLLERR, // QSocketNotifier::Write
    EPOLLPRI | EPOLLHUP | EPOLLERR, // QSocketNotifier::Exception
};
constexpr uint32_t asks[3] = {EPOLLIN, EPOLLOUT, EPOLLPRI};

// Events taken from the kernel per turn; more stay ready for the next turn.
constexpr int eventsPerTurn = 256;

} // namespace

EpollEventDispatcher::EpollEventDispatcher(QObject* parent)
    : QAbstractEventDispatcher(parent)
    , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
    , m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_timers(std::make_unique<QTimerInfoList>())
{
    if (m_epoll < 0 || m_wake < 0)
        qFatal("epoll or eventfd unavailable: %s", strerror(errno));
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_wake;
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event);
}

EpollEventDispatcher::~EpollEventDispatcher()
{
    qDeleteAll(*m_timers);
    ::close(m_wake);
    ::close(m_epoll);
}

void EpollEventDispatcher::watch(int fd, const Watched& watched, bool known)
{
    epoll_event event{};
    for (int type = 0; type < 3; ++type) {
        if (watched.notifiers[type])
            event.events |= asks[type];
    }
    event.data.fd = fd;
    if (event.events == 0) {
        m_alwaysReady.remove(fd);
        // Fails when the descriptor was closed first; the kernel dropped it then, unless
        // another descriptor still refers to the same file (every owner here removes its
        // notifier before it closes).
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
        return;
    }
    if (m_alwaysReady.contains(fd))
        return;
    // The kernel forgets a descriptor closed before its notifier went, and the number may
    // be in use again: whichever of add and modify the kernel takes.
    if (::epoll_ctl(m_epoll, known ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &event) != 0) {
        const int first = errno;
        if ((first == ENOENT || first == EEXIST) &&
            ::epoll_ctl(m_epoll, known ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, fd, &event) == 0)
            return;
        if (first == EPERM) { // a regular file, always ready as poll() has it
            m_alwaysReady.insert(fd);
            return;
        }
        qWarning("EpollEventDispatcher: descriptor %d cannot be watched: %s", fd, strerror(first));
    }
}

void EpollEventDispatcher::registerSocketNotifier(QSocketNotifier* notifier)
{
    const int fd = int(notifier->socket());
    const auto type = int(notifier->type());
    const bool known = m_watched.contains(fd);
    Watched& watched = m_watched[fd];
    if (watched.notifiers[type] && watched.notifiers[type] != notifier)
        qWarning("EpollEventDispatcher: a second notifier of one kind for descriptor %d", fd);
    watched.notifiers[type] = notifier;
    watch(fd, watched, known);
}

void EpollEventDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier)
{
    m_pending.removeAll(notifier);
    const int fd = int(notifier->socket());
    const auto found = m_watched.find(fd);
    if (found == m_watched.end())
        return;
    const auto type = int(notifier->type());
    if (found->notifiers[type] != notifier)
        return;
    found->notifiers[type] = nullptr;
    const Watched watched = *found;
    if (!watched.notifiers[0] && !watched.notifiers[1] && !watched.notifiers[2])
        m_watched.erase(found);
    watch(fd, watched, true);
}

void EpollEventDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                         QObject* object)
{
    m_timers->registerTimer(timerId, interval, timerType, object);
}

bool EpollEventDispatcher::unregisterTimer(int timerId)
{
    return m_timers->unregisterTimer(timerId);
}

bool EpollEventDispatcher::unregisterTimers(QObject* object)
{
    return m_timers->unregisterTimers(object);
}

QList<QAbstractEventDispatcher::TimerInfo>
EpollEventDispatcher::registeredTimers(QObject* object) const
{
    return m_timers->registeredTimers(object);
}

int EpollEventDispatcher::remainingTime(int timerId)
{
    return m_timers->timerRemainingTime(timerId);
}

void EpollEventDispatcher::wakeUp()
{
    // From any thread; one write until the loop has read it.
    if (!m_wakeUpSent.exchange(true, std::memory_order_acq_rel)) {
        const uint64_t one = 1;
        if (::write(m_wake, &one, sizeof one) != ssize_t(sizeof one))
            m_wakeUpSent.store(false, std::memory_order_release); // the next one tries again
    }
}

void EpollEventDispatcher::interrupt()
{
    m_interrupted.store(true, std::memory_order_release);
    wakeUp();
}

void EpollEventDispatcher::drainWakeUps()
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wake, &count, sizeof count);
    // After the read: an event posted from here on writes again; one posted before is
    // sent at the start of the next turn, before it waits.
    m_wakeUpSent.store(false, std::memory_order_release);
}

// Milliseconds until the next timer (rounded up, so that it is due when the wait ends),
// 0 for no wait, -1 for none.
int EpollEventDispatcher::waitMs(bool canWait, bool withTimers)
{
    if (!canWait)
        return 0;
    timespec due{};
    if (!withTimers || !m_timers->timerWait(due))
        return -1;
    const qint64 ms = qint64(due.tv_sec) * 1000 + (due.tv_nsec + 999'999) / 1'000'000;
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

int EpollEventDispatcher::activatePending()
{
    int activated = 0;
    QEvent event(QEvent::SockAct);
    // A notifier removed by an earlier one's slot has left this list already.
    while (!m_pending.isEmpty()) {
        QSocketNotifier* notifier = m_pending.takeFirst();
        QCoreApplication::sendEvent(notifier, &event);
        ++activated;
    }
    return activated;
}

bool EpollEventDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    m_interrupted.store(false, std::memory_order_release);
    emit awake();
    QCoreApplication::sendPostedEvents();

    const bool withTimers = !flags.testFlag(QEventLoop::X11ExcludeTimers);
    const bool withNotifiers = !flags.testFlag(QEventLoop::ExcludeSocketNotifiers);
    const bool canWait = flags.testFlag(QEventLoop::WaitForMoreEvents) &&
                         !m_interrupted.load(std::memory_order_acquire);
    if (canWait)
        emit aboutToBlock();
    if (m_interrupted.load(std::memory_order_acquire))
        return false;

    const bool filesReady = withNotifiers && !m_alwaysReady.isEmpty();
    const int timeout = waitMs(canWait && !filesReady, withTimers);
    int handled = 0;
    if (withNotifiers) {
        epoll_event events[eventsPerTurn];
        const int ready = ::epoll_wait(m_epoll, events, eventsPerTurn, timeout);
        if (ready < 0 && errno != EINTR)
            qWarning("EpollEventDispatcher: epoll_wait failed: %s", strerror(errno));
        for (const int fd : std::as_const(m_alwaysReady)) {
            const Watched watched = m_watched.value(fd);
            for (QSocketNotifier* notifier : {watched.notifiers[0], watched.notifiers[1]}) {
                if (notifier && !m_pending.contains(notifier))
                    m_pending.append(notifier);
            }
        }
        for (int i = 0; i < ready; ++i) {
            const int fd = events[i].data.fd;
            if (fd == m_wake) {
                drainWakeUps();
                ++handled;
                continue;
            }
            const auto found = m_watched.constFind(fd);
            if (found == m_watched.constEnd())
                continue;
            for (int type = 0; type < 3; ++type) {
                QSocketNotifier* notifier = found->notifiers[type];
                if (notifier && (events[i].events & wakes[type]) && !m_pending.contains(notifier))
                    m_pending.append(notifier);
            }
        }
        handled += activatePending();
    } else {
        // Only a wake-up or a timer ends this wait; ready descriptors stay ready.
        pollfd wake{m_wake, POLLIN, 0};
        if (::poll(&wake, 1, timeout) > 0) {
            drainWakeUps();
            ++handled;
        }
    }
    if (withTimers)
        handled += m_timers->activateTimers();
    return handled > 0;
}
