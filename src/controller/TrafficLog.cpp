#include "controller/TrafficLog.h"

#include "controller/Clock.h"
#include "controller/LogExport.h"

TrafficLog::TrafficLog(std::shared_ptr<const Clock> clock, int capacity, QObject* parent)
    : QObject(parent)
    , m_clock(std::move(clock))
    , m_entries(capacity)
{
}

void TrafficLog::append(LogEntry::Kind kind, const QString& text, const QByteArray& bytes,
                        bool poll)
{
    // Kept at their size: a few bytes may come in a block of a line's buffer, and the log
    // outlives many of them.
    const bool roomy = bytes.capacity() > 2 * bytes.size() + 64;
    const QByteArray kept = roomy ? QByteArray(bytes.constData(), bytes.size()) : bytes;
    const int removed = m_entries.append({++m_lastId, m_clock->now(), kind, text, kept, poll});
    if (removed > 0)
        emit removedFromFront(removed);
    emit appended(1);
}

void TrafficLog::clear()
{
    if (!m_entries.isEmpty()) {
        m_entries.clear();
        emit cleared();
    }
    setCounters({});
}

void TrafficLog::countSent(qint64 bytes)
{
    setCounters({m_counters.tx + bytes, m_counters.rx, m_counters.timeouts});
}

void TrafficLog::countReceived(qint64 bytes)
{
    setCounters({m_counters.tx, m_counters.rx + bytes, m_counters.timeouts});
}

void TrafficLog::countTimeout()
{
    setCounters({m_counters.tx, m_counters.rx, m_counters.timeouts + 1});
}

void TrafficLog::setCounters(const Counters& counters)
{
    if (counters == m_counters)
        return;
    m_counters = counters;
    emit countersChanged();
}

QString TrafficLog::proposedExportFileName() const
{
    return ::proposedExportFileName(m_clock->now().toLocalTime());
}

void TrafficLog::setShowHex(bool on)
{
    if (on == m_showHex)
        return;
    m_showHex = on;
    emit showHexChanged();
}
