#pragma once

#include "Support.h"
#include "controller/DisplayController.h"
#include "line/Line.h"

#include <QStringList>
#include <functional>
#include <memory>

class FakeLine;

// The lines a controller opens, and their far end played by the test: no device, no
// thread, no waiting. Answers of `display` arrive through the event loop, as a display's.
class FakeLines {
public:
    using Display = std::function<QByteArray(const QString& line)>;

    // How the lines behave (set before the controller opens one).
    std::optional<LineError> openFailure; // every open fails with this
    bool openLater = false;               // opens end when the test calls finishOpen()
    std::optional<LineError> writeFailure;
    Display display;
    // What the far end does as soon as a line has opened (a gateway that greets and hangs up).
    std::function<void()> afterOpen;

    // What the controller did.
    QStringList devices;         // the device of every line made, in order
    QStringList lines;           // the command lines written, without their line ending
    QByteArray written;          // every byte written
    int applied = 0;             // reconfigurations of an open line
    FakeLine* current = nullptr; // the newest line that is not closed

    // The far end sends bytes, or goes away.
    void receive(const QByteArray& bytes);
    void lose(const QString& reason);
    // Ends a pending open (openLater) with this result.
    void finishOpen(std::optional<LineError> error = std::nullopt);

    ControllerOptions::LineMaker maker();

private:
    friend class FakeLine;
    // Keeps the bytes; returns the command lines they complete.
    QStringList record(const QByteArray& bytes);
    CommandLines m_commandLines;
};
