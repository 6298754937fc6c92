#pragma once

#include "protocol/DisplaySeries.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>

// The conversation of a QX/RX display, without any I/O: assembles command lines from
// received bytes and answers each line as the display would. DisplaySimulator puts it
// on a pseudo-terminal.
struct CommandLine;

class SimulatedDisplay {
public:
    // A sender that never ends its line must not grow memory without bound; a line
    // this long is handled as if a line end had arrived. Same bound as the reply
    // parser's; real command lines are a few dozen characters.
    static constexpr qsizetype maxLineLength = 4096;

    explicit SimulatedDisplay(DisplaySeries series);

    // Every CR and every LF ends a line; bytes of 32 and above are collected as
    // Latin-1 characters, all other bytes (the tab included) are dropped. Returns the
    // answer to each line ended within these bytes, in order.
    QList<QByteArray> receive(QByteArrayView bytes);

    // The answer to one line, already trimmed.
    QByteArray handleLine(const QString& line);

    DisplaySeries series() const { return m_series; }
    // A fleet of simulated displays needs one serial number each.
    void setSerialNumber(const QString& serial);
    const QMap<QString, QString>& state() const { return m_state; }
    // The line collected so far.
    const QString& line() const { return m_line; }

private:
    QByteArray handleSet(const CommandLine& command);

    DisplaySeries m_series;
    QString m_line;
    QMap<QString, QString> m_state;
};
