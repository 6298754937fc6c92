#include "controller/values/DropoutHistory.h"

#include <algorithm>

void DropoutHistory::record(const QDateTime& when)
{
    m_times.append(when);
    while (m_times.size() > capacity)
        m_times.removeFirst();
}

bool DropoutHistory::hasRepeated(const QDateTime& now) const
{
    const QDateTime windowStart = now.addSecs(-repeatedWindowSeconds);
    return std::count_if(m_times.begin(), m_times.end(),
                         [&](const QDateTime& time) { return time > windowStart; }) > 1;
}
