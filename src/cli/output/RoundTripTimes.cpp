#include "cli/output/RoundTripTimes.h"

#include <algorithm>

std::optional<double> RoundTripTimes::median() const
{
    if (m_seconds.isEmpty())
        return std::nullopt;
    QList<double> sorted = m_seconds;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype middle = sorted.size() / 2;
    if (sorted.size() % 2 == 1)
        return sorted.at(middle);
    return (sorted.at(middle - 1) + sorted.at(middle)) / 2.0;
}
