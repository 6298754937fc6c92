#pragma once

#include "protocol/SmartEvent.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Turns the display's byte stream, in chunks of any size, into events.
// Bytes are read as ISO 8859-1; the unfinished line is kept between calls.
class SmartParser {
public:
    // A display that prints garbage without line ends must not grow memory without
    // bound; a line this long is ended as if a line end had arrived. Real reply lines
    // are far shorter than this (help text lines are about 80 characters).
    static constexpr qsizetype maxLineLength = 4096;

    QList<SmartEvent> feed(const QByteArray& chunk);
    static SmartEvent parseLine(const QString& line);

    const QString& pending() const { return m_pending; }

private:
    void endLine(QList<SmartEvent>& events);

    QString m_pending;
};
