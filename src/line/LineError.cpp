#include "line/LineError.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

QString systemErrorText(int errnum)
{
    // The GNU strerror_r: thread-safe, and it returns a pointer that may or may not
    // point into the buffer.
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(errnum, buffer, sizeof buffer));
}

LineError LineError::of(Kind kind, const QString& where, int errnum, QString detail)
{
    LineError error;
    error.m_kind = kind;
    error.m_where = where;
    error.m_errnum = errnum;
    error.m_detail = std::move(detail);
    // A line of the wrong kind cannot go on either.
    error.m_gone = kind == Kind::peerClosed || kind == Kind::wrongProtocol;
    return error;
}

LineError LineError::openFailed(const QString& where, int errnum)
{
    switch (errnum) {
    case EBUSY:
    case EWOULDBLOCK: // the lock of another program
        return of(Kind::busy, where, EBUSY);
    case EACCES:
    case EPERM:
        return of(Kind::noPermission, where, errnum);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return of(Kind::notFound, where, errnum);
    case ENOTTY:
    case EISDIR:
        return of(Kind::notATerminal, where, errnum);
    default:
        return of(Kind::openFailed, where, errnum);
    }
}

LineError LineError::ioFailed(const QString& where, int errnum)
{
    switch (errnum) {
    case EIO:
    case ENXIO:
    case EBADF:
    case ENODEV:
    case EPIPE:
        return of(Kind::peerClosed, where, errnum);
    default:
        return of(Kind::writeFailed, where, errnum);
    }
}

LineError LineError::peerClosed(const QString& where, const QString& detail)
{
    return of(Kind::peerClosed, where, 0, detail);
}

LineError LineError::withCause(const QString& cause) const
{
    LineError error = *this;
    error.m_cause = cause;
    return error;
}

QString LineError::reason() const
{
    if (m_kind != Kind::peerClosed)
        return text();
    if (!m_detail.isEmpty())
        return m_detail;
    return m_errnum != 0 ? systemErrorText(m_errnum)
                         : QCoreApplication::translate("LineError", "Gegenstelle getrennt");
}

QString LineError::text() const
{
    const auto ending = [this](const QString& text) {
        return m_cause.isEmpty()
                   ? text
                   : QCoreApplication::translate("LineError", "%1 – %2").arg(text, m_cause);
    };
    switch (m_kind) {
    case Kind::busy:
        return m_cause.isEmpty()
                   ? QCoreApplication::translate("LineError",
                                                 "%1 ist belegt – läuft noch ein Terminalprogramm "
                                                 "(screen, PuTTY, CoolTerm)?")
                         .arg(m_where)
                   : QCoreApplication::translate("LineError", "%1 ist belegt – %2")
                         .arg(m_where, m_cause);
    case Kind::noPermission:
        return ending(QCoreApplication::translate("LineError",
                                                  "%1 lässt sich nicht öffnen: keine Berechtigung")
                          .arg(m_where));
    case Kind::notFound:
        return ending(QCoreApplication::translate(
                          "LineError", "%1 gibt es nicht – ist der Wandler eingesteckt und "
                                       "der Name richtig?")
                          .arg(m_where));
    case Kind::notATerminal:
        return QCoreApplication::translate("LineError", "%1 ist keine serielle Schnittstelle")
            .arg(m_where);
    case Kind::openFailed:
        return ending(QCoreApplication::translate("LineError", "%1 lässt sich nicht öffnen: %2")
                          .arg(m_where, systemErrorText(m_errnum)));
    case Kind::configureFailed:
        return QCoreApplication::translate("LineError", "%1 lässt sich nicht einstellen: %2")
            .arg(m_where, m_errnum != 0 ? systemErrorText(m_errnum) : m_detail);
    case Kind::refused:
        return QCoreApplication::translate("LineError",
                                           "%1 lehnt die Verbindung ab – lauscht dort ein Gateway "
                                           "oder ser2net auf diesem Port?")
            .arg(m_where);
    case Kind::unreachable:
        return QCoreApplication::translate("LineError", "%1 ist nicht erreichbar (kein Weg "
                                                        "dorthin) – Netz und Adresse prüfen.")
            .arg(m_where);
    case Kind::timedOut:
        return QCoreApplication::translate("LineError",
                                           "Keine Antwort von %1 nach %2 s – ist das Gateway "
                                           "eingeschaltet und im Netz?")
            .arg(m_where, m_detail);
    case Kind::nameUnknown:
        return QCoreApplication::translate("LineError",
                                           "Der Name „%1“ lässt sich nicht auflösen – Adresse "
                                           "prüfen.")
            .arg(m_where);
    case Kind::connectFailed:
        return QCoreApplication::translate("LineError", "Verbindung zu %1 fehlgeschlagen: %2")
            .arg(m_where, m_detail);
    case Kind::wrongProtocol:
        // `detail` is the form that fits the peer.
        return m_detail == u"tcp"
                   ? QCoreApplication::translate(
                         "LineError",
                         "%1 antwortet nicht auf RFC 2217 (Telnet) – dort wartet wohl ein roher "
                         "TCP-Port: die Adresse mit tcp:// angeben.")
                         .arg(m_where)
                   : QCoreApplication::translate(
                         "LineError",
                         "%1 spricht Telnet (RFC 2217) – die Adresse mit rfc2217:// angeben, "
                         "sonst kommen Telnet-Steuerbytes beim Display an.")
                         .arg(m_where);
    case Kind::simulatorFailed:
        return QCoreApplication::translate("LineError",
                                           "Der Simulator lässt sich nicht starten: %1")
            .arg(systemErrorText(m_errnum));
    case Kind::writeFailed:
        return QCoreApplication::translate("LineError", "Senden an %1 fehlgeschlagen: %2")
            .arg(m_where, systemErrorText(m_errnum));
    case Kind::stalled:
        return QCoreApplication::translate("LineError",
                                           "%1 nimmt keine Daten mehr an – Flusssteuerung, Kabel "
                                           "und Gegenstelle prüfen.")
            .arg(m_where);
    case Kind::peerClosed:
        return QCoreApplication::translate("LineError", "Verbindung zu %1 getrennt: %2")
            .arg(m_where, reason());
    case Kind::settingNotConfirmed:
        return m_detail; // the gateway's side says which setting, and why
    case Kind::notOpen:
        break;
    }
    return QCoreApplication::translate("LineError", "Nicht verbunden.");
}
