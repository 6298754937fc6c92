#pragma once

#include <QDateTime>
#include <chrono>
#include <functional>
#include <memory>

// A one-shot timer of a clock: calls its function once, a given time after start(),
// on the thread that owns it, unless stopped or started anew first.
class ClockTimer {
public:
    virtual ~ClockTimer() = default;
    virtual void start(double seconds, std::function<void()> fire) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Every time the controller reads and every timer it runs come from here, so tests of
// time windows and timeouts move a clock by hand instead of sleeping.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    // Wall-clock time in UTC, for log entries and dropout times. Shown in local time;
    // converting here would look up the time zone for every entry of a busy line.
    virtual QDateTime now() const { return QDateTime::currentDateTimeUtc(); }
    // Monotonic time, for windows that must not jump with the system clock.
    virtual TimePoint monotonic() const { return std::chrono::steady_clock::now(); }
    // A timer on the main event loop; on a test clock, one that the test runs.
    virtual std::unique_ptr<ClockTimer> makeTimer() const;
};
