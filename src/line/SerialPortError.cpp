#include "line/SerialPortError.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>
#include <utility>

QString systemErrorText(int errnum)
{
    // The GNU strerror_r: thread-safe, and it returns a pointer that may or may not
    // point into the buffer.
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(errnum, buffer, sizeof buffer));
}

SerialPortError::SerialPortError(Kind kind, QString path, int errnum, QString detail)
    : m_kind(kind)
    , m_path(std::move(path))
    , m_errnum(errnum)
    , m_detail(std::move(detail))
{
}

SerialPortError SerialPortError::openFailed(const QString& path, int errnum)
{
    return {Kind::openFailed, path, errnum, {}};
}

SerialPortError SerialPortError::withCause(const QString& cause) const
{
    if (m_kind != Kind::openFailed)
        return *this;
    return {m_kind, m_path, m_errnum, cause};
}

SerialPortError SerialPortError::configureFailed(const QString& detail)
{
    return {Kind::configureFailed, {}, 0, detail};
}

SerialPortError SerialPortError::writeFailed(int errnum)
{
    return {Kind::writeFailed, {}, errnum, {}};
}

SerialPortError SerialPortError::notOpen()
{
    return {Kind::notOpen, {}, 0, {}};
}

SerialPortError SerialPortError::unknownAddress(const QString& address)
{
    return {Kind::unknownAddress, address, 0, {}};
}

SerialPortError SerialPortError::connectFailed(const QString& address, const QString& text)
{
    return {Kind::connectFailed, address, 0, text};
}

QString SerialPortError::description() const
{
    switch (m_kind) {
    case Kind::openFailed:
        if (m_errnum == EBUSY)
            return m_detail.isEmpty()
                       ? QCoreApplication::translate("SerialPortError",
                                                     "%1 ist belegt – läuft noch ein "
                                                     "Terminalprogramm (screen, PuTTY, CoolTerm)?")
                             .arg(m_path)
                       : QCoreApplication::translate("SerialPortError", "%1 ist belegt – %2")
                             .arg(m_path, m_detail);
        return m_detail.isEmpty() ? QCoreApplication::translate("SerialPortError",
                                                                "%1 lässt sich nicht öffnen: %2")
                                        .arg(m_path, systemErrorText(m_errnum))
                                  : QCoreApplication::translate(
                                        "SerialPortError", "%1 lässt sich nicht öffnen: %2 – %3")
                                        .arg(m_path, systemErrorText(m_errnum), m_detail);
    case Kind::configureFailed:
        return QCoreApplication::translate("SerialPortError", "Schnittstelle nicht einstellbar: %1")
            .arg(m_detail);
    case Kind::writeFailed:
        return QCoreApplication::translate("SerialPortError", "Senden fehlgeschlagen: %1")
            .arg(systemErrorText(m_errnum));
    case Kind::notOpen:
        return QCoreApplication::translate("SerialPortError", "Schnittstelle ist nicht geöffnet.");
    case Kind::unknownAddress:
        return QCoreApplication::translate("SerialPortError",
                                           "„%1“ ist keine bekannte Adresse – es gibt "
                                           "simulator://smart und simulator://loopback.")
            .arg(m_path);
    case Kind::connectFailed:
        return m_detail;
    }
    return {};
}

bool SerialPortError::meansDeviceGone() const
{
    if (m_kind != Kind::writeFailed)
        return false;
    switch (m_errnum) {
    case EIO:
    case ENXIO:
    case EBADF:
    case ENODEV:
        return true;
    default:
        return false;
    }
}
