#include "controller/LogEntry.h"

#include "protocol/HexBytes.h"

QString LogEntry::printable(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char raw : bytes) {
        const auto byte = static_cast<unsigned char>(raw);
        if (byte == '\n')
            text.append(QChar(0x240A));
        else if (byte == '\r')
            text.append(QChar(0x240D));
        else if (byte >= 0x20 && byte <= 0x7E)
            text.append(QChar(byte));
        else
            text.append(QChar(0x00B7));
    }
    return text;
}

QString LogEntry::hexText() const
{
    return ::hexText(bytes);
}

QString LogEntry::symbol(Kind kind)
{
    switch (kind) {
    case Kind::tx:
        return QStringLiteral("→");
    case Kind::rx:
        return QStringLiteral("←");
    case Kind::info:
        return QStringLiteral("ℹ\uFE0E");
    case Kind::error:
        return QStringLiteral("⚠\uFE0E");
    case Kind::async:
        return QStringLiteral("⚡\uFE0E");
    }
    return {};
}

QString LogEntry::exportLine() const
{
    QString line = date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + u' ' +
                   symbol(kind) + u' ' + text;
    if (!bytes.isEmpty())
        line += QStringLiteral("  [") + hexText() + u']';
    return line;
}
