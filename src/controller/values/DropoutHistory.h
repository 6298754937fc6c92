#pragma once

#include <QDateTime>
#include <QList>

// When the line was lost without the user asking, oldest first: the sidebar's
// statistics and its loose-contact hint.
class DropoutHistory {
public:
    // Losses kept; the oldest goes first.
    static constexpr qsizetype capacity = 50;
    // Two losses within this window point at a loose contact.
    static constexpr qint64 repeatedWindowSeconds = 600;

    void record(const QDateTime& when);
    void clear() { m_times.clear(); }
    // At least two losses later than `now` minus the window.
    bool hasRepeated(const QDateTime& now) const;

    const QList<QDateTime>& times() const { return m_times; }
    qsizetype size() const { return m_times.size(); }
    bool isEmpty() const { return m_times.isEmpty(); }

    bool operator==(const DropoutHistory&) const = default;

private:
    QList<QDateTime> m_times;
};
