#pragma once

#include <QDateTime>
#include <chrono>

// The controller reads "now" only through this, so tests of time windows
// (ten minutes of dropouts, the two-second hold-off) need no sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    // Wall-clock time, for log entries and dropout times.
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // Monotonic time, for windows that must not jump with the system clock.
    virtual std::chrono::steady_clock::time_point monotonic() const
    {
        return std::chrono::steady_clock::now();
    }
};
