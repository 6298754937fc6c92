#pragma once

#include "line/Line.h"
#include "line/UniqueFd.h"

#include <QString>
#include <QTimer>
#include <memory>

class QSocketNotifier;

// One open serial device: a USB adapter's tty or the simulator's pseudo-terminal.
// Opens it exclusively, puts the line into raw mode and works on the event loop of the
// thread that opened it, never waiting there: it reads a bounded amount per wake-up (a
// peer sending faster than the program takes is held back by the kernel's buffer), and
// what the device does not take at once waits in a buffer of its own until the device
// is writable again. Callbacks run on that thread; a callback may destroy the port.
class SerialPort final : public Line {
public:
    // Bytes held for a device that takes none: more is refused as a stalled line.
    static constexpr qsizetype pendingLimit = 1024 * 1024;
    // Bytes waiting this long without one of them going out make a stalled line.
    static constexpr int stallMs = 5000;

    SerialPort(QString path, SerialSettings settings);
    ~SerialPort() override;

    // Empty result: success. open() on an open port does nothing.
    std::optional<LineError> open();
    void open(OpenDone done) override;
    std::optional<LineError> apply(const SerialSettings& settings) override;
    std::optional<LineError> write(const QByteArray& bytes) override;
    // Stops reading at once; bytes still waiting go out in the background for a short
    // while (a line held by flow control would otherwise keep them for good). Does not
    // call back; harmless when closed.
    void close() override;
    QString name() const override { return m_path; }

    const QString& path() const { return m_path; }
    const SerialSettings& settings() const { return m_settings; }
    int fd() const { return m_fd.get(); }
    bool isOpen() const { return m_fd.isValid(); }
    // Bytes handed to write() that the device has not taken yet.
    qsizetype pending() const { return m_pending.size(); }

private:
    void readAvailable();
    // Writes what the device takes now; the error of a write the device refused.
    std::optional<LineError> flush();
    void report(const LineError& error);

    QString m_path;
    SerialSettings m_settings;
    UniqueFd m_fd;
    QByteArray m_pending;
    // Present while reading; gone once the device is lost or the port closed.
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
    QTimer m_stall;
};
