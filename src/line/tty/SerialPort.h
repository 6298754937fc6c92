#pragma once

#include "line/Line.h"

#include <QString>
#include <memory>

class QSocketNotifier;

// One open serial device: a USB adapter's tty or the simulator's pseudo-terminal.
// Opens it exclusively, puts the line into raw mode and reads on the event loop of the
// thread that opened it, a bounded amount per wake-up, so that a peer sending faster
// than the program can take is held back by the kernel's buffer instead of filling
// memory. Callbacks run on that thread; a callback may destroy the port.
class SerialPort final : public Line {
public:
    SerialPort(QString path, SerialSettings settings);
    ~SerialPort() override;

    // Empty result: success. open() on an open port does nothing.
    std::optional<SerialPortError> open();
    void open(OpenDone done) override;
    std::optional<SerialPortError> apply(const SerialSettings& settings) override;
    // Writes all bytes, with a bounded wait while the output buffer is full.
    std::optional<SerialPortError> write(const QByteArray& bytes) override;
    // Stops reading, lets pending output drain for a bounded time and closes. Does not
    // call onClose; harmless when closed.
    void close() override;
    QString name() const override { return m_path; }

    const QString& path() const { return m_path; }
    const SerialSettings& settings() const { return m_settings; }
    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

private:
    void readAvailable();
    void releaseDescriptor();

    QString m_path;
    SerialSettings m_settings;
    int m_fd = -1;
    // Present while reading; gone once the device is lost or the port closed.
    std::unique_ptr<QSocketNotifier> m_reader;
};
