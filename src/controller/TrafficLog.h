#pragma once

#include "controller/LogBuffer.h"
#include "controller/LogEntry.h"

#include <QObject>
#include <memory>

class Clock;

// The traffic log: every block of bytes written and read, and every note, warning and
// failure, oldest first and capped; with the byte counters and the timeout count.
class TrafficLog : public QObject {
    Q_OBJECT

public:
    struct Counters {
        qint64 tx = 0;    // bytes written to the line
        qint64 rx = 0;    // bytes read from it
        int timeouts = 0; // commands without a prompt in time
        bool operator==(const Counters&) const = default;
    };

    TrafficLog(std::shared_ptr<const Clock> clock, int capacity, QObject* parent = nullptr);

    void append(LogEntry::Kind kind, const QString& text, const QByteArray& bytes = {},
                bool poll = false);
    void info(const QString& text) { append(LogEntry::Kind::info, text); }
    void error(const QString& text) { append(LogEntry::Kind::error, text); }
    // Empties the log and zeroes the counters.
    void clear();

    const LogBuffer& entries() const { return m_entries; }
    const Counters& counters() const { return m_counters; }
    void countSent(qint64 bytes);
    void countReceived(qint64 bytes);
    void countTimeout();

    QString exportText() const { return m_entries.exportText(); }
    QString proposedExportFileName() const;

    // The terminal shows bytes as hex instead of text.
    bool showHex() const { return m_showHex; }
    void setShowHex(bool on);

signals:
    // The log changes in three ways only, so a view never re-reads 2000 rows per entry.
    void appended(int count);
    void removedFromFront(int count);
    void cleared();
    void countersChanged();
    void showHexChanged();

private:
    void setCounters(const Counters& counters);

    std::shared_ptr<const Clock> m_clock;
    LogBuffer m_entries;
    Counters m_counters;
    quint64 m_lastId = 0;
    bool m_showHex = false;
};
