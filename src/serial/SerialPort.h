#pragma once

#include "serial/FdReader.h"
#include "serial/SerialPortError.h"
#include "serial/SerialSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// One open serial device: a USB adapter's tty or the simulator's pseudo-terminal.
// Opens it exclusively, puts the line into raw mode, reads on a thread of its own and
// hands every chunk to the thread that created the port (the main thread). Operations
// and callbacks belong to that thread.
class SerialPort {
public:
    SerialPort(QString path, SerialSettings settings);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Empty result: success. open() on an open port does nothing.
    std::optional<SerialPortError> open();
    // Stores the settings and, while open, reconfigures the line at once.
    std::optional<SerialPortError> apply(const SerialSettings& settings);
    // Writes all bytes, with a bounded wait while the output buffer is full. Bytes
    // written before a failure stay written.
    std::optional<SerialPortError> write(const QByteArray& bytes);
    // Stops reading, lets pending output drain for a bounded time and closes. Does not
    // call onClose; harmless when closed.
    void close();

    const QString& path() const { return m_path; }
    const SerialSettings& settings() const { return m_settings; }
    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }

    // Each chunk as one read returned it, in order.
    std::function<void(const QByteArray&)> onData;
    // Once per open, when the device goes away; the reason is "Gegenstelle getrennt"
    // or the system's error text. Reading has stopped; the descriptor stays open
    // until close().
    std::function<void(const QString& reason)> onClose;

private:
    bool readChunk(int fd, short revents, quint64 generation);
    void deliverData(quint64 generation, const QByteArray& chunk);
    void deliverClose(quint64 generation, const QString& reason);
    void releaseDescriptor();

    QString m_path;
    SerialSettings m_settings;
    int m_fd = -1;
    // Tells deliveries queued for an earlier opening from current ones: close()
    // advances it, so a chunk still on its way is dropped.
    quint64 m_generation = 0;
    // Receives the queued calls in the creating thread; its destruction discards the
    // ones still pending.
    std::unique_ptr<QObject> m_receiver;
    FdReader m_reader;
};
