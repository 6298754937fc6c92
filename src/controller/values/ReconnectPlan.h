#pragma once

#include <optional>

// When the attempts to reconnect come after a dropout, as data. A replugged adapter needs
// a moment before its device node opens; then a few attempts come at a steady pace, and
// after them hot-plug brings the next series. A gateway on the network may be gone for
// minutes (a reboot, a switch, a serial device missing behind it): its attempts go on
// without end, each after a longer wait, so that it costs a few attempts a minute.
class ReconnectPlan {
public:
    enum class Target { adapter, network };

    static constexpr double firstWaitSeconds = 0.4;
    static constexpr double waitSeconds = 0.8;
    static constexpr int attemptsPerSeries = 6;
    static constexpr double networkFirstWaitSeconds = 1;
    static constexpr double networkLongestWaitSeconds = 30;

    struct Step {
        int attempt = 1; // the attempt's number within its series
        double wait = 0; // seconds before it

        bool operator==(const Step&) const = default;
    };

    explicit ReconnectPlan(Target target)
        : m_target(target)
    {
    }

    Target target() const { return m_target; }
    Step first() const;
    // What follows the failed attempt `attempt`: the next one, or nothing (an adapter is
    // then waited for until hot-plug brings it back).
    std::optional<Step> afterFailure(int attempt) const;

private:
    Target m_target;
};
