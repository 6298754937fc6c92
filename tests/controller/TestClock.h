#pragma once

#include "controller/Clock.h"

// A clock the test moves by hand.
class TestClock : public Clock {
public:
    explicit TestClock(QDateTime start = QDateTime(QDate(2026, 12, 5), QTime(14, 3, 22, 105)))
        : m_now(std::move(start))
    {
    }

    QDateTime now() const override { return m_now; }
    std::chrono::steady_clock::time_point monotonic() const override
    {
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(m_elapsedMs));
    }

    void advance(double seconds)
    {
        const auto ms = qint64(seconds * 1000);
        m_now = m_now.addMSecs(ms);
        m_elapsedMs += ms;
    }

private:
    QDateTime m_now;
    qint64 m_elapsedMs = 1'000'000;
};
