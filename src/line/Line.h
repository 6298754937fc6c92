#pragma once

#include "line/SerialPortError.h"
#include "line/SerialSettings.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// One byte line to a display: a serial device of this computer, or a serial port at
// the far end of a network connection. The controller owns one per connection and
// talks to it only through this. Everything happens on the thread that made the line.
class Line {
public:
    using OpenDone = std::function<void(std::optional<SerialPortError> error)>;

    virtual ~Line() = default;

    // Opens the line and calls `done` once: with nothing on success, else with the
    // failure. A local device calls it before open() returns; a line that must wait
    // (a network connection) calls it later from the event loop.
    virtual void open(OpenDone done) = 0;
    // Stores the settings and, while open, reconfigures the line at once.
    virtual std::optional<SerialPortError> apply(const SerialSettings& settings) = 0;
    // Writes all bytes, or fails; bytes written before a failure stay written.
    virtual std::optional<SerialPortError> write(const QByteArray& bytes) = 0;
    // Ends the line. Afterwards no callback (onData, onClose, open's done) is called
    // any more; harmless when closed.
    virtual void close() = 0;
    // The device path, or the address as the user entered it.
    virtual QString name() const = 0;

    // Each chunk as it was read, in order.
    std::function<void(const QByteArray& chunk)> onData;
    // At most once per opening, when the line goes away by itself; the reason is
    // "Gegenstelle getrennt" or the system's error text. The line's owner closes it.
    std::function<void(const QString& reason)> onClose;
    // Something the user should know that does not end the line (a network gateway that
    // did not confirm a setting), as a German sentence.
    std::function<void(const QString& text)> onNotice;
};
