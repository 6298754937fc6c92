#include "cli/commands/SharedSessionCommand.h"

#include "cli/commands/Session.h"
#include "cli/invocation/UserSettings.h"
#include "cli/output/LogLine.h"
#include "cli/output/StatusOutput.h"
#include "controller/values/DisplayReport.h"
#include "session/SocketPath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("SharedSessionCommand", text);
}

// How long a session may take to greet, and to answer beyond its queue's own time.
constexpr int patienceMs = 60'000;

LogEntry::Kind kindNamed(const QString& name)
{
    if (name == u"tx")
        return LogEntry::Kind::tx;
    if (name == u"rx")
        return LogEntry::Kind::rx;
    if (name == u"error")
        return LogEntry::Kind::error;
    if (name == u"async")
        return LogEntry::Kind::async;
    return LogEntry::Kind::info;
}

} // namespace

SharedSessionCommand::SharedSessionCommand(Session& session, QString socketPath, Direct direct)
    : m_session(session)
    , m_path(std::move(socketPath))
    , m_direct(std::move(direct))
{
    m_duration.setSingleShot(true);
    m_duration.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_duration, &QTimer::timeout, &m_session, [this] {
        m_done = true;
        m_session.finish(ExitCode::success);
    });
    m_session.setTerminationHandler([this] {
        if (m_fallback)
            return; // the direct command was started with its own handler
        m_done = true;
        m_socket.abort();
        m_session.finish(ExitCode::success); // replaced by the signal's code
    });
}

SharedSessionCommand::~SharedSessionCommand()
{
    m_socket.disconnect();
}

QString SharedSessionCommand::socketFor(const Session& session)
{
    const Invocation& invocation = session.invocation();
    const QString port = invocation.port.value_or(readUserSettings().settings.lastPortPath);
    if (port.isEmpty())
        return {};
    const QString path = SocketPath::forLine(port);
    return QFileInfo(path).exists() ? path : QString();
}

void SharedSessionCommand::start()
{
    QObject::connect(&m_socket, &QLocalSocket::connected, &m_session, [this] {
        // Only a session of this user (or root) is trusted with the command and its answer.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (::getsockopt(int(m_socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
                0 ||
            (peer.uid != ::getuid() && peer.uid != 0)) {
            fail(int(ExitCode::portFailed),
                 tr("%1 gehört einem anderen Benutzer – nicht benutzt.").arg(m_path));
            return;
        }
        const Invocation& invocation = m_session.invocation();
        QJsonObject request{{"id", 1}};
        switch (invocation.command) {
        case Invocation::Command::get:
            request.insert(QStringLiteral("get"), invocation.settingName);
            break;
        case Invocation::Command::set:
            request.insert(QStringLiteral("set"), settingName(invocation.action->setting));
            request.insert(
                QStringLiteral("value"),
                invocation.action->step
                    ? QStringLiteral("%1%2")
                          .arg(*invocation.action->step >= 0 ? QStringLiteral("+") : QString())
                          .arg(*invocation.action->step)
                    : *invocation.action->wantedValue());
            break;
        case Invocation::Command::send:
            request.insert(QStringLiteral("send"), QJsonArray::fromStringList(invocation.lines));
            break;
        case Invocation::Command::monitor:
            request.insert(QStringLiteral("watch"), true);
            if (invocation.duration)
                m_duration.start(int(std::ceil(*invocation.duration * 1000.0)));
            break;
        default:
            request.insert(QStringLiteral("status"), true);
            break;
        }
        m_socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    });
    QObject::connect(&m_socket, &QLocalSocket::readyRead, &m_session, [this] {
        m_buffer += m_socket.readAll();
        for (qsizetype end = m_buffer.indexOf('\n'); end >= 0 && !m_done;
             end = m_buffer.indexOf('\n')) {
            const QJsonObject message = QJsonDocument::fromJson(m_buffer.first(end)).object();
            m_buffer.remove(0, end + 1);
            onMessage(message);
        }
    });
    QObject::connect(
        &m_socket, &QLocalSocket::errorOccurred, &m_session,
        [this](QLocalSocket::LocalSocketError error) {
            if (m_done)
                return;
            // Nobody there any more: a socket left by a session that ended.
            if (!m_greeted && (error == QLocalSocket::ServerNotFoundError ||
                               error == QLocalSocket::ConnectionRefusedError)) {
                fallBack();
                return;
            }
            if (error == QLocalSocket::PeerClosedError && m_greeted &&
                m_session.invocation().command == Invocation::Command::monitor) {
                fail(int(ExitCode::portFailed), tr("Die Sitzung hat geendet."));
                return;
            }
            fail(int(ExitCode::portFailed),
                 tr("Die laufende Sitzung antwortet nicht: %1").arg(m_socket.errorString()));
        });
    // A session that is stopped or hangs answers nothing: the call does not wait for ever.
    m_patience.setSingleShot(true);
    QObject::connect(&m_patience, &QTimer::timeout, &m_session, [this] {
        if (!m_greeted) {
            fallBack();
            return;
        }
        fail(int(ExitCode::portFailed), tr("Die laufende Sitzung antwortet nicht."));
    });
    m_patience.start(patienceMs);
    m_socket.connectToServer(m_path);
}

void SharedSessionCommand::fallBack()
{
    m_done = true;
    m_patience.stop();
    m_socket.disconnect();
    // The direct command handles signals its own way, or by the session's default.
    m_session.setTerminationHandler({});
    m_fallback = m_direct();
    m_fallback->start();
}

void SharedSessionCommand::onMessage(const QJsonObject& message)
{
    if (!m_greeted) {
        onGreeting(message);
        return;
    }
    if (message.contains(QStringLiteral("event"))) {
        if (message.value(QStringLiteral("event")).toString() != u"log")
            return;
        LogEntry entry;
        entry.kind = kindNamed(message.value(QStringLiteral("kind")).toString());
        entry.date = QDateTime::fromString(message.value(QStringLiteral("time")).toString(),
                                           Qt::ISODateWithMs);
        entry.text = message.value(QStringLiteral("text")).toString();
        m_session.console().out(logLine(entry, false));
        return;
    }
    onReply(message);
}

void SharedSessionCommand::onGreeting(const QJsonObject& greeting)
{
    if (greeting.value(QStringLiteral("bildwart")).toInt() != 1) {
        fail(int(ExitCode::portFailed),
             greeting.value(QStringLiteral("error"))
                 .toString(tr("Die laufende Sitzung spricht ein anderes Protokoll.")));
        return;
    }
    m_greeted = true;
    // A watch lasts as long as it is asked to; an answer comes within the display's time.
    if (m_session.invocation().command == Invocation::Command::monitor)
        m_patience.stop();
    else
        m_patience.start(patienceMs + 1000 * int(m_session.invocation().lines.size()));
    if (m_session.invocation().verbose)
        m_session.console().log(tr("über die laufende Sitzung von %1 (PID %2)")
                                    .arg(greeting.value(QStringLiteral("program")).toString())
                                    .arg(greeting.value(QStringLiteral("pid")).toInteger()));
}

void SharedSessionCommand::onReply(const QJsonObject& reply)
{
    const Invocation& invocation = m_session.invocation();
    Console& console = m_session.console();
    const bool ok = reply.value(QStringLiteral("ok")).toBool();
    const QString error = reply.value(QStringLiteral("error")).toString();
    if (invocation.command == Invocation::Command::monitor) {
        if (!ok)
            fail(int(ExitCode::displayFailed), error);
        return; // events follow
    }
    m_done = true;
    m_patience.stop();
    switch (invocation.command) {
    case Invocation::Command::send: {
        const QJsonArray replies = reply.value(QStringLiteral("replies")).toArray();
        if (invocation.json) {
            console.outJson(QJsonObject{{"replies", replies}});
        } else {
            for (const QJsonValue& one : replies) {
                for (const QJsonValue& line : one[QStringLiteral("lines")].toArray())
                    console.out(line.toString());
            }
        }
        break;
    }
    case Invocation::Command::status:
        m_session.finish(
            printStatus(console, reply.value(QStringLiteral("values")).toObject(), invocation.json)
                ? ExitCode::success
                : ExitCode::displayFailed);
        return;
    default: {
        const QString name =
            invocation.action ? settingName(invocation.action->setting) : invocation.settingName;
        const QJsonValue value = reply.value(QStringLiteral("value"));
        if (ok && !value.isNull()) {
            if (invocation.json)
                console.outJson(QJsonObject{{name, value}});
            else
                console.out(DisplayReport::plainLine(name, value).value_or(QString()));
        }
        break;
    }
    }
    if (!ok)
        console.err(error);
    m_session.finish(ok ? ExitCode::success : ExitCode::displayFailed);
}

void SharedSessionCommand::fail(int code, const QString& text)
{
    m_done = true;
    m_patience.stop();
    m_socket.abort();
    m_session.console().err(text);
    m_session.finish(code);
}
