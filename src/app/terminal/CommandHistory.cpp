#include "app/terminal/CommandHistory.h"

CommandHistory::CommandHistory(QStringList entries)
    : m_entries(std::move(entries))
{
    m_entries.removeAll(QString());
    if (m_entries.size() > limit)
        m_entries = m_entries.mid(m_entries.size() - limit);
}

void CommandHistory::add(const QString& line)
{
    m_position.reset();
    m_draft.clear();
    if (line.trimmed().isEmpty())
        return;
    m_entries.removeAll(line);
    m_entries.append(line);
    if (m_entries.size() > limit)
        m_entries.removeFirst();
}

std::optional<QString> CommandHistory::older(const QString& current)
{
    if (m_entries.isEmpty() || m_position == 0)
        return std::nullopt;
    if (!m_position) {
        m_draft = current;
        m_position = m_entries.size();
    }
    m_position = *m_position - 1;
    return m_entries.at(*m_position);
}

std::optional<QString> CommandHistory::newer()
{
    if (!m_position)
        return std::nullopt;
    m_position = *m_position + 1;
    if (*m_position < m_entries.size())
        return m_entries.at(*m_position);
    m_position.reset();
    return std::exchange(m_draft, QString());
}
