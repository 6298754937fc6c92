#pragma once

#include <QString>

// The system's text for an errno value (what strerror gives), for messages and reasons.
QString systemErrorText(int errnum);

// A failure of the serial layer. Carries the errno where the system gave one;
// description() is the German text the user sees.
class SerialPortError {
public:
    enum class Kind {
        openFailed,
        configureFailed,
        writeFailed,
        notOpen,
        unknownAddress,
        connectFailed
    };

    static SerialPortError openFailed(const QString& path, int errnum);
    // The same failure with its cause on this computer ("Sie sind nicht in der Gruppe
    // „dialout“."), which the description then ends with. Only for openFailed.
    SerialPortError withCause(const QString& cause) const;
    static SerialPortError configureFailed(const QString& detail);
    static SerialPortError writeFailed(int errnum);
    static SerialPortError notOpen();
    // A "simulator://" address that names no simulator.
    static SerialPortError unknownAddress(const QString& address);
    // A network line that did not come up; `text` says where and why, in German.
    static SerialPortError connectFailed(const QString& address, const QString& text);

    Kind kind() const { return m_kind; }
    // The device path of openFailed, the address of unknownAddress and connectFailed;
    // empty otherwise.
    const QString& path() const { return m_path; }
    // The errno of openFailed and writeFailed; 0 otherwise.
    int errnum() const { return m_errnum; }
    // The detail of configureFailed, the cause of openFailed; empty otherwise.
    const QString& detail() const { return m_detail; }

    QString description() const;

    // A failed write whose errno says that the device itself has gone (adapter pulled,
    // contact broken), as opposed to a line that is merely busy.
    bool meansDeviceGone() const;

    bool operator==(const SerialPortError&) const = default;

private:
    SerialPortError(Kind kind, QString path, int errnum, QString detail);

    Kind m_kind;
    QString m_path;
    int m_errnum = 0;
    QString m_detail;
};
