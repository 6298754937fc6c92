#include "protocol/SmartParser.h"

namespace {

// Line trimming: the Unicode space separators and tabs.
bool isLineBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

// Name and value trimming: plain spaces and tabs.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

template <typename Predicate>
QStringView trimmed(QStringView text, Predicate blank)
{
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    return text;
}

} // namespace

QList<SmartEvent> SmartParser::feed(const QByteArray& chunk)
{
    QList<SmartEvent> events;
    for (const char raw : chunk) {
        const auto byte = static_cast<unsigned char>(raw);
        if (byte == '\r' || byte == '\n') {
            endLine(events);
        } else if (byte == '>' && trimmed(m_pending, isLineBlank).isEmpty()) {
            m_pending.clear();
            events.append(SmartEvent::makePrompt());
        } else if (byte >= 32 || byte == '\t') {
            m_pending.append(QChar(byte));
            if (m_pending.size() >= maxLineLength)
                endLine(events);
        }
        // Other control bytes are dropped without trace.
    }
    return events;
}

void SmartParser::endLine(QList<SmartEvent>& events)
{
    const QStringView line = trimmed(m_pending, isLineBlank);
    if (!line.isEmpty())
        events.append(parseLine(line.toString()));
    m_pending.clear();
}

SmartEvent SmartParser::parseLine(const QString& line)
{
    const bool report = line.startsWith(u'#');
    const QStringView body = report ? QStringView(line).sliced(1) : QStringView(line);
    const qsizetype equals = body.indexOf(u'=');
    if (equals < 0)
        return SmartEvent::makeText(line);

    const QString name = trimmed(body.first(equals), isBlank).toString().toLower();
    const QString value = trimmed(body.sliced(equals + 1), isBlank).toString();
    if (name.isEmpty() || name.contains(u' '))
        return SmartEvent::makeText(line);
    return report ? SmartEvent::makeAsync(name, value) : SmartEvent::makeValue(name, value);
}
