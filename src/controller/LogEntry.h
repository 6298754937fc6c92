#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// One entry of the traffic log.
struct LogEntry {
    enum class Kind { tx, rx, info, error, async };

    // Unique within the process's log; counted, as random ids cost a hardware seed each.
    quint64 id = 0;
    QDateTime date; // in UTC; shown in local time
    Kind kind = Kind::info;
    QString text;
    QByteArray bytes;
    // A poll query, its answer or its timeout: the terminal can hide these.
    bool poll = false;

    bool operator==(const LogEntry&) const = default;

    // One character per byte: printable ASCII as itself, CR and LF as their
    // control pictures, everything else as a middle dot. Never decoded as UTF-8.
    static QString printable(const QByteArray& bytes);
    QString hexText() const;

    // The kind's symbol as the export and the terminal show it.
    static QString symbol(Kind kind);
    // "yyyy-MM-dd HH:mm:ss.SSS <symbol> <text>[  [<hex>]]" in local time.
    QString exportLine() const;
};
