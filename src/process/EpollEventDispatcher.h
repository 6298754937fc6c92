#pragma once

#include <QAbstractEventDispatcher>
#include <QHash>
#include <QList>
#include <QSet>
#include <atomic>
#include <memory>

class QTimerInfoList;

// An event loop that waits with epoll: a turn costs what is ready, not what is open.
// Qt's own loop hands every socket notifier to poll() on each turn, which for a serve
// holding a thousand lines (a socket each, and a listening socket each for its guests)
// was most of its CPU. Timers are Qt's own list; notifiers behave as with Qt's loop
// (level-triggered, hang-up and error wake readers and writers).
class EpollEventDispatcher : public QAbstractEventDispatcher {
    Q_OBJECT
public:
    explicit EpollEventDispatcher(QObject* parent = nullptr);
    ~EpollEventDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;

    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;

    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;

    void wakeUp() override;
    void interrupt() override;

private:
    struct Watched {
        QSocketNotifier* notifiers[3] = {}; // by QSocketNotifier::Type
    };

    void watch(int fd, const Watched& watched, bool known);
    int waitMs(bool canWait, bool withTimers);
    void drainWakeUps();
    int activatePending();

    int m_epoll = -1;
    int m_wake = -1;
    std::atomic<bool> m_wakeUpSent{false};
    std::atomic<bool> m_interrupted{false};
    QHash<int, Watched> m_watched;
    QSet<int> m_alwaysReady; // regular files: epoll refuses them, poll() calls them ready
    QList<QSocketNotifier*> m_pending;
    std::unique_ptr<QTimerInfoList> m_timers;
};
