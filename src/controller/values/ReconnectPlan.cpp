#include "controller/values/ReconnectPlan.h"

std::optional<ReconnectPlan::Step> ReconnectPlan::afterFailure(int attempt) const
{
    if (attempt < attemptsPerSeries)
        return Step{attempt + 1, waitSeconds, false};
    if (m_target == Target::network)
        return Step{1, networkPauseSeconds, true};
    return std::nullopt;
}
