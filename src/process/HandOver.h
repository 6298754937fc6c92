#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QSocketNotifier;

// Work that another thread (a library's own: the MQTT client's network loop, the metrics
// exposer's HTTP workers) hands to the event loop of the thread that made this object. The
// work waits in a queue under a mutex and an eventfd wakes the loop: ThreadSanitizer follows
// that hand-over, which it cannot in Qt's own event posting. Work still queued when this
// object goes is dropped.
class HandOver final : public QObject {
    Q_OBJECT

public:
    explicit HandOver(QObject* parent = nullptr);
    ~HandOver() override;

    // Any thread.
    void post(std::function<void()> work);

private:
    void run();

    std::mutex m_mutex;
    std::deque<std::function<void()>> m_work;
    int m_wake = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
