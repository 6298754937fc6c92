#include "controller/values/PromptHandshake.h"

std::optional<PromptHandshake::TimePoint> PromptHandshake::deadline() const
{
    if (m_phase == Phase::idle)
        return std::nullopt;
    return m_deadline;
}

void PromptHandshake::sent(SmartCommand command, TimePoint now, Seconds timeout)
{
    m_phase = Phase::awaiting;
    m_current = std::move(command);
    ++m_owed;
    m_deadline = now + std::chrono::duration_cast<std::chrono::nanoseconds>(timeout);
}

std::optional<SmartCommand> PromptHandshake::promptArrived(TimePoint now, Seconds pause)
{
    if (m_owed > 0)
        --m_owed;
    if (m_phase != Phase::awaiting || m_owed > 0)
        return std::nullopt;
    pauseFrom(now, pause);
    return std::exchange(m_current, std::nullopt);
}

std::optional<SmartCommand> PromptHandshake::timePassed(TimePoint now, Seconds pause)
{
    if (m_phase == Phase::idle || now < m_deadline)
        return std::nullopt;
    if (m_phase == Phase::pausing) {
        m_phase = Phase::idle;
        return std::nullopt;
    }
    // The pause counts from the timeout, not from now: a late timer does not stretch it.
    pauseFrom(m_deadline, pause);
    if (m_phase == Phase::pausing && now >= m_deadline)
        m_phase = Phase::idle;
    return std::exchange(m_current, std::nullopt);
}

std::optional<SmartCommand> PromptHandshake::reset()
{
    m_phase = Phase::idle;
    m_deadline = {};
    m_owed = 0;
    return std::exchange(m_current, std::nullopt);
}

void PromptHandshake::pauseFrom(TimePoint now, Seconds pause)
{
    if (pause.count() > 0) {
        m_phase = Phase::pausing;
        m_deadline = now + std::chrono::duration_cast<std::chrono::nanoseconds>(pause);
    } else {
        m_phase = Phase::idle;
    }
}
