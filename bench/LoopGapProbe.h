#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

// The longest time the event loop went without a turn, measured by a zero-interval timer that
// fires on every turn: a loop that hangs in one handler shows up as one long gap.
class LoopGapProbe {
public:
    LoopGapProbe()
    {
        m_probe.setInterval(0);
        QObject::connect(&m_probe, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestGapNs = std::max(m_longestGapNs, now - m_lastTurnNs);
            m_lastTurnNs = now;
        });
    }

    void start()
    {
        m_clock.start();
        m_lastTurnNs = m_longestGapNs = 0;
        m_probe.start();
    }
    void stop() { m_probe.stop(); }

    double elapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }
    double longestGapMs() const { return double(m_longestGapNs) / 1e6; }

private:
    QTimer m_probe;
    QElapsedTimer m_clock;
    qint64 m_lastTurnNs = 0;
    qint64 m_longestGapNs = 0;
};
