#pragma once

#include "controller/LogEntry.h"

#include <deque>

// The capped traffic log: oldest entry first. A deque, so that trimming at the cap
// costs the same as appending (no shifting of 2000 entries per new line).
class LogBuffer {
public:
    // Bounds memory and the length of the list the terminal lays out.
    static constexpr int capacity = 2000;

    explicit LogBuffer(int limit = capacity)
        : m_limit(limit)
    {
    }

    // Appends and returns how many of the oldest entries were removed to keep the cap.
    int append(LogEntry entry);
    void clear() { m_entries.clear(); }

    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    const LogEntry& at(int index) const { return m_entries[std::size_t(index)]; }
    const LogEntry& last() const { return m_entries.back(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

    // The whole log in the export format: one line per entry, joined with LF.
    QString exportText() const;

private:
    std::deque<LogEntry> m_entries;
    int m_limit;
};
