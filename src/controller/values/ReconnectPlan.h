#pragma once

#include <optional>

// The series of reconnection attempts after a dropout, as data. A replugged adapter needs
// a moment before its device node opens; then the attempts come at a steady pace, a few in
// a few seconds. A gateway on the network may be gone for minutes (a reboot, a switch):
// after a series that found it unreachable, the next series follows after a pause.
class ReconnectPlan {
public:
    enum class Target { adapter, network };

    static constexpr double firstWaitSeconds = 0.4;
    static constexpr double waitSeconds = 0.8;
    static constexpr int attemptsPerSeries = 6;
    static constexpr double networkPauseSeconds = 30;

    struct Step {
        int attempt = 1;        // the attempt's number within its series
        double wait = 0;        // seconds before it
        bool newSeries = false; // it begins a series after a pause
    };

    explicit ReconnectPlan(Target target)
        : m_target(target)
    {
    }

    Target target() const { return m_target; }
    // Attempt 1 of the first series.
    Step first() const { return {1, firstWaitSeconds, false}; }
    // What follows the failed attempt `attempt`: the next one, the first of a new series,
    // or nothing (an adapter is then waited for until hot-plug brings it back).
    std::optional<Step> afterFailure(int attempt) const;

private:
    Target m_target;
};
