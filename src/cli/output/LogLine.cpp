#include "cli/output/LogLine.h"

QString logLine(const LogEntry& entry, bool hex)
{
    const QString shown = hex && !entry.bytes.isEmpty() ? entry.hexText() : entry.text;
    return entry.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + u' ' +
           LogEntry::symbol(entry.kind) + u' ' + shown;
}
