#include "controller/values/ReconnectPlan.h"

#include <algorithm>
#include <cmath>

ReconnectPlan::Step ReconnectPlan::first() const
{
    return {1, m_target == Target::network ? networkFirstWaitSeconds : firstWaitSeconds};
}

std::optional<ReconnectPlan::Step> ReconnectPlan::afterFailure(int attempt) const
{
    if (m_target == Target::network) {
        // Doubled after each failure: 1, 2, 4 … up to the longest wait.
        const double wait =
            std::min(networkLongestWaitSeconds,
                     networkFirstWaitSeconds * std::pow(2.0, std::min(attempt, 16)));
        return Step{attempt + 1, wait};
    }
    if (attempt < attemptsPerSeries)
        return Step{attempt + 1, waitSeconds};
    return std::nullopt;
}
