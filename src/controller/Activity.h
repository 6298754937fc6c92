#pragma once

#include "controller/Clock.h"

#include <QObject>
#include <functional>
#include <memory>

// One cancellable background activity of the controller (the pump, the poll, the
// reconnection series, …), driven by the main event loop: no thread, no busy waiting.
// Its steps are continuations; cancel() stops the pending wait, and every
// continuation that was already posted finds itself outdated and does nothing.
class Activity {
public:
    // Sleeps run on `clock`; posted steps run on the event loop of `context`'s thread.
    Activity(QObject* context, const Clock& clock);
    Activity(const Activity&) = delete;
    Activity& operator=(const Activity&) = delete;

    // Starts a new run; continuations of an earlier run are outdated from now on.
    void start();
    void cancel();
    bool isRunning() const { return m_running; }

    // Runs `step` after `seconds` on the clock, unless the run is cancelled first. A timer,
    // not a sleep: the event loop goes on meanwhile. A new one replaces a pending one.
    void after(double seconds, std::function<void()> step);
    // Runs `step` from the event loop, after the current event, unless cancelled first.
    void post(std::function<void()> step);

private:
    QObject* m_context;
    std::unique_ptr<ClockTimer> m_timer;
    quint64 m_run = 0;
    bool m_running = false;
};
