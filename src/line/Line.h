#pragma once

#include "line/LineError.h"
#include "line/SerialSettings.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// One byte line to a display: a serial device of this computer, a serial port at the far
// end of a network connection, or a simulator. Its owner talks to it only through this.
// Everything happens on the thread that made the line, and nothing here waits.
class Line {
public:
    using OpenDone = std::function<void(std::optional<LineError> error)>;

    virtual ~Line() = default;

    // Opens the line and calls `done` once: with nothing on success, else with the
    // failure. A local device calls it before open() returns; a line that must wait
    // (a network connection) calls it later from the event loop.
    virtual void open(OpenDone done) = 0;
    // Stores the settings and, while open, reconfigures the line at once.
    virtual std::optional<LineError> apply(const SerialSettings& settings) = 0;
    // Hands the bytes over; they go out as the line takes them, in order. A failure that
    // is known at once (the line not open, a far end that takes nothing) is returned; one
    // that comes later arrives through onError.
    virtual std::optional<LineError> write(const QByteArray& bytes) = 0;
    // Ends the line. Afterwards no callback (onData, onError, onNote, open's done) is
    // called any more; harmless when closed.
    virtual void close() = 0;
    // The device path, or the address as the user entered it.
    virtual QString name() const = 0;

    // Each chunk as it was read, in order.
    std::function<void(const QByteArray& chunk)> onData;
    // A failure of the open line. With gone() the line has ended and its owner closes it;
    // otherwise the line goes on (a write refused, a setting the gateway did not confirm).
    std::function<void(const LineError& error)> onError;
    // Something for the log that is no failure (a simulator started on its device).
    std::function<void(const QString& text)> onNote;
};
