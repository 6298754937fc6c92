#include "controller/LogBuffer.h"

int LogBuffer::append(LogEntry entry)
{
    m_entries.push_back(std::move(entry));
    int removed = 0;
    while (m_entries.size() > std::size_t(m_limit)) {
        m_entries.pop_front();
        ++removed;
    }
    return removed;
}

QString LogBuffer::exportText() const
{
    QStringList lines;
    lines.reserve(size());
    for (const LogEntry& entry : m_entries)
        lines.append(entry.exportLine());
    return lines.join(u'\n');
}
