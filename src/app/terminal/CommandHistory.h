#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// What was sent from the input line, newest last, and where Up and Down stand in it. What
// the user had typed before going back is kept and comes back below the newest entry.
class CommandHistory {
public:
    static constexpr int limit = 200;

    CommandHistory() = default;
    explicit CommandHistory(QStringList entries);

    const QStringList& entries() const { return m_entries; }
    // A sent line becomes the newest entry (once: an earlier copy moves up); the walk ends.
    void add(const QString& line);
    // The entry before the one shown, given what the input holds now; nothing at the oldest.
    std::optional<QString> older(const QString& current);
    // The entry after the one shown; below the newest, the line the walk started from.
    std::optional<QString> newer();

private:
    QStringList m_entries;
    std::optional<qsizetype> m_position; // the entry shown; none while not walking
    QString m_draft;
};
