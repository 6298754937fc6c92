#pragma once

#include <QString>

// The system's text for an errno value (what strerror gives), for the rare failure that
// has no wording of its own.
QString systemErrorText(int errnum);

// A failure of a line, classified once where it happens: what went wrong, the errno where
// the system gave one, and whether the line is gone with it. text() is the one German
// sentence the window, the log and bildwartctl show; it names the device or address.
class LineError {
public:
    enum class Kind {
        // Opening a device
        notFound,     // no such device
        busy,         // another program holds it
        noPermission, // the user may not open it
        notATerminal, // a file, a folder, a FIFO, /dev/null: no serial interface
        openFailed,   // any other reason
        configureFailed,
        // Opening a network line
        refused,
        unreachable,
        timedOut,
        nameUnknown,
        connectFailed,
        wrongProtocol, // rfc2217:// at a raw port, tcp:// at a Telnet port
        // Opening a simulator
        simulatorFailed,
        // On an open line
        writeFailed,
        stalled,    // the far end takes no more bytes
        peerClosed, // the far end hung up, or the device went away
        notOpen,
        settingNotConfirmed, // a gateway that did not confirm a line setting; `detail` says which
    };

    static LineError of(Kind kind, const QString& where, int errnum = 0, QString detail = {});
    // The failure of open() on a device, by its errno.
    static LineError openFailed(const QString& where, int errnum);
    // A failed write or read on an open line: the line is gone for EIO, ENXIO, EBADF,
    // ENODEV and EPIPE (an adapter pulled, a contact broken), else only this write failed.
    static LineError ioFailed(const QString& where, int errnum);
    // The far end hung up; `detail` is a reason beyond that, if the line knows one.
    static LineError peerClosed(const QString& where, const QString& detail = {});

    Kind kind() const { return m_kind; }
    // The device path or the address as the user wrote it.
    const QString& where() const { return m_where; }
    int errnum() const { return m_errnum; }
    // The line has ended with this failure; its owner closes it.
    bool gone() const { return m_gone; }

    // The same failure with its cause on this computer (the port doctor's finding), which
    // the text then ends with.
    LineError withCause(const QString& cause) const;
    const QString& cause() const { return m_cause; }

    // The whole sentence, for a line that did not open or failed while open.
    QString text() const;
    // Why a line that was open has gone, in a few words: the end of "Verbindung …
    // abgerissen: …".
    QString reason() const;

    bool operator==(const LineError&) const = default;

private:
    Kind m_kind = Kind::openFailed;
    QString m_where;
    int m_errnum = 0;
    QString m_detail;
    QString m_cause;
    bool m_gone = false;
};
