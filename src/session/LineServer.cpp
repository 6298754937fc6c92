#include "session/LineServer.h"

#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/RemoteDisplay.h"
#include "controller/TrafficLog.h"
#include "controller/values/DisplayReport.h"
#include "line/PathBytes.h"
#include "session/SocketPath.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Tickets of guests' commands, far above the pump's own.
constexpr quint64 firstTicket = quint64(1) << 62;

// Whether a session answers at `path`: a socket left by a killed one refuses at once.
bool someoneListens(const QString& path)
{
    // Never blocking: a session whose queue of connections is full counts as there.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = encodePath(path);
    std::memcpy(address.sun_path, bytes.constData(),
                std::min(size_t(bytes.size()), sizeof address.sun_path - 1));
    const bool answered =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ||
        errno == EAGAIN;
    ::close(fd);
    return answered;
}

QString commandOf(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.readAll()).trimmed() : QString();
}

QString kindName(LogEntry::Kind kind)
{
    switch (kind) {
    case LogEntry::Kind::tx:
        return QStringLiteral("tx");
    case LogEntry::Kind::rx:
        return QStringLiteral("rx");
    case LogEntry::Kind::info:
        return QStringLiteral("info");
    case LogEntry::Kind::error:
        return QStringLiteral("error");
    case LogEntry::Kind::async:
        break;
    }
    return QStringLiteral("async");
}

} // namespace

struct LineServer::Guest {
    std::unique_ptr<QLocalSocket> socket;
    QByteArray buffer;
    qint64 pid = 0;
    QString command;
    bool watching = false;
    bool dropping = false; // let go: nothing more is written to it
    int open = 0;          // requests on their way through the queue
};

// A guest's request on the line: which guest, the request, and what came so far.
struct LineServer::Pending {
    quint64 guest = 0;
    SessionRequest request;
    qsizetype next = 0;          // send: the line after the one on the line
    QStringList lines;           // the display's lines for the command on the line
    QJsonArray replies;          // send: one object per line done
    QString error;               // the first failure
    std::optional<QString> told; // get, set: the value the display wrote
};

LineServer::LineServer(DisplayController& controller, QString program, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_program(std::move(program))
    , m_nextTicket(firstTicket)
{
    connect(&controller.line(), &LineSession::connectionChanged, this, &LineServer::follow);
    connect(&controller.pump(), &CommandPump::event, this, &LineServer::onEvent);
    connect(&controller.pump(), &CommandPump::finished, this, &LineServer::onFinished);
    connect(&controller.log(), &TrafficLog::appended, this, &LineServer::onLogAppended);
    connect(&controller.display(), &RemoteDisplay::changed, this, &LineServer::onValuesChanged);
    follow();
}

LineServer::~LineServer()
{
    stop();
}

void LineServer::follow()
{
    const LineSession& line = m_controller.line();
    const bool open = line.connection().is(ConnectionState::Case::connected);
    const QString address = open ? line.openPath() : QString();
    if (!address.isEmpty() && SocketPath::forLine(address) == m_path)
        return;
    stop();
    if (!address.isEmpty())
        listen(address);
}

void LineServer::listen(const QString& address)
{
    TrafficLog& log = m_controller.log();
    if (const auto problem = SocketPath::prepareFolder()) {
        log.error(*problem);
        return;
    }
    const QString path = SocketPath::forLine(address);
    if (QFile::exists(path)) {
        if (someoneListens(path)) {
            log.info(
                tr("Eine andere Sitzung teilt %1 schon; diese wird nicht geteilt.").arg(address));
            return;
        }
        QLocalServer::removeServer(path); // left by a session that was killed
    }
    m_server = std::make_unique<QLocalServer>();
    m_server->setMaxPendingConnections(maxGuests);
    if (!m_server->listen(path)) {
        log.error(
            tr("Die Sitzung lässt sich nicht teilen (%1): %2").arg(path, m_server->errorString()));
        m_server.reset();
        return;
    }
    ::chmod(encodePath(path).constData(), 0600);
    m_path = path;
    connect(m_server.get(), &QLocalServer::newConnection, this, &LineServer::accept);
}

void LineServer::stop()
{
    const bool hadGuests = !m_guests.empty();
    m_pending.clear();
    for (auto& [id, guest] : m_guests) {
        guest->socket->disconnect(this);
        guest->socket->abort();
    }
    m_guests.clear();
    if (m_server) {
        m_server->close(); // removes the socket file
        m_server.reset();
    }
    m_path.clear();
    if (hadGuests)
        emit guestsChanged();
}

void LineServer::accept()
{
    while (QLocalSocket* raw = m_server->nextPendingConnection()) {
        std::unique_ptr<QLocalSocket> socket(raw);
        socket->setParent(nullptr);
        ucred peer{};
        socklen_t size = sizeof peer;
        const bool known = ::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED,
                                        &peer, &size) == 0;
        if (!known || (peer.uid != ::getuid() && peer.uid != 0)) {
            m_controller.log().error(tr("Verbindung zur Sitzung abgelehnt: Benutzer %1 (PID %2) "
                                        "ist ein anderer.")
                                         .arg(peer.uid)
                                         .arg(peer.pid));
            socket->write(QJsonDocument(QJsonObject{{"ok", false},
                                                    {"error", tr("Andere Benutzer dürfen diese "
                                                                 "Sitzung nicht nutzen.")}})
                              .toJson(QJsonDocument::Compact) +
                          '\n');
            socket->flush();
            socket->abort();
            continue;
        }
        if (int(m_guests.size()) >= maxGuests) {
            socket->write(
                QJsonDocument(QJsonObject{{"ok", false}, {"error", tr("Zu viele Verbindungen.")}})
                    .toJson(QJsonDocument::Compact) +
                '\n');
            socket->flush();
            socket->abort();
            continue;
        }
        const quint64 id = m_nextGuest++;
        auto guest = std::make_unique<Guest>();
        guest->pid = peer.pid;
        guest->command = commandOf(peer.pid);
        QLocalSocket* watched = socket.get();
        guest->socket = std::move(socket);
        connect(watched, &QLocalSocket::readyRead, this, [this, id] { read(id); });
        connect(watched, &QLocalSocket::disconnected, this, [this, id] {
            QMetaObject::invokeMethod(
                this, [this, id] { dropGuest(id); }, Qt::QueuedConnection);
        });
        connect(watched, &QLocalSocket::bytesWritten, this, [] {});
        m_guests.emplace(id, std::move(guest));
        reply(id, QJsonObject{{"bildwart", 1},
                              {"line", m_controller.line().openPath()},
                              {"pid", qint64(QCoreApplication::applicationPid())},
                              {"program", m_program}});
        emit guestsChanged();
    }
}

void LineServer::read(quint64 guestId)
{
    const auto found = m_guests.find(guestId);
    if (found == m_guests.end())
        return;
    Guest& guest = *found->second;
    guest.buffer += guest.socket->readAll();
    qsizetype start = 0;
    for (qsizetype end = guest.buffer.indexOf('\n'); end >= 0;
         end = guest.buffer.indexOf('\n', start)) {
        const QByteArray line = guest.buffer.mid(start, end - start);
        start = end + 1;
        handle(guestId, guest, line);
        if (!m_guests.contains(guestId))
            return; // let go while handling
    }
    guest.buffer.remove(0, start);
    if (guest.buffer.size() > SessionRequest::maxLength) {
        reply(guestId, QJsonObject{{"ok", false}, {"error", tr("Anfrage zu lang.")}});
        dropGuest(guestId);
    }
}

QString LineServer::originOf(const Guest& guest) const
{
    return QStringLiteral("%1, PID %2")
        .arg(guest.command.isEmpty() ? tr("Skript") : guest.command)
        .arg(guest.pid);
}

void LineServer::handle(quint64 guestId, Guest& guest, const QByteArray& line)
{
    if (line.trimmed().isEmpty())
        return;
    auto parsed = SessionRequest::parse(line);
    if (const auto* refusal = std::get_if<SessionRequest::Refusal>(&parsed)) {
        reply(guestId, QJsonObject{{"id", refusal->id}, {"ok", false}, {"error", refusal->text}});
        return;
    }
    SessionRequest request = std::get<SessionRequest>(std::move(parsed));
    const auto refuse = [&](const QString& text) {
        reply(guestId, QJsonObject{{"id", request.id}, {"ok", false}, {"error", text}});
    };
    CommandPump& pump = m_controller.pump();
    const DisplayState& state = m_controller.display().state();
    switch (request.kind) {
    case SessionRequest::Kind::status:
        reply(guestId, QJsonObject{{"id", request.id},
                                   {"ok", true},
                                   {"values", DisplayReport::values(state)}});
        return;
    case SessionRequest::Kind::watch:
        guest.watching = true;
        reply(guestId, QJsonObject{{"id", request.id}, {"ok", true}});
        return;
    case SessionRequest::Kind::raw:
        if (!pump.rawMode()) {
            refuse(tr("Rohe Bytes nur im Rohdaten-Modus."));
            return;
        }
        pump.sendRaw(request.bytes);
        reply(guestId, QJsonObject{{"id", request.id}, {"ok", true}});
        return;
    case SessionRequest::Kind::get:
        request.lines = {SmartCommand::query(request.name)};
        break;
    case SessionRequest::Kind::set:
        request.lines = {request.action->commandText()};
        break;
    case SessionRequest::Kind::send:
        break;
    }
    if (!pump.acceptsCommands()) {
        refuse(pump.rawMode() ? tr("Die Sitzung ist im Rohdaten-Modus: keine Befehle.")
                              : tr("Die Leitung nimmt gerade keine Befehle an."));
        return;
    }
    // The queue is everyone's: one guest may not fill it for hours.
    if (guest.open >= maxOpenRequests) {
        refuse(tr("Zu viele offene Anfragen – erst die Antworten abwarten."));
        return;
    }
    ++guest.open;
    Pending pending;
    pending.guest = guestId;
    pending.request = std::move(request);
    sendNext(0, std::move(pending));
}

void LineServer::sendNext(quint64 done, Pending pending)
{
    if (done != 0)
        m_pending.erase(done);
    const auto guest = m_guests.find(pending.guest);
    if (guest == m_guests.end())
        return; // gone meanwhile: the rest is not sent
    const SessionRequest& request = pending.request;
    if (pending.next >= request.lines.size()) {
        --guest->second->open;
        QJsonObject answer{{"id", request.id}, {"ok", pending.error.isEmpty()}};
        if (!pending.error.isEmpty())
            answer.insert(QStringLiteral("error"), pending.error);
        if (request.kind == SessionRequest::Kind::send) {
            answer.insert(QStringLiteral("replies"), pending.replies);
        } else {
            QJsonValue value = DisplayReport::value(m_controller.display().state(), request.name);
            if (value.isNull() && pending.told && !settingNamed(request.name))
                value = *pending.told;
            answer.insert(QStringLiteral("value"), value);
            if (request.kind == SessionRequest::Kind::get && value.isNull() &&
                pending.error.isEmpty()) {
                answer[QStringLiteral("ok")] = false;
                answer.insert(
                    QStringLiteral("error"),
                    tr("Das Display hat keinen Wert für „%1“ gemeldet.").arg(request.name));
            }
            // Done only when the display answered the set with the value itself.
            if (request.kind == SessionRequest::Kind::set && pending.error.isEmpty()) {
                const auto wanted = request.action->wantedValue();
                if (!pending.told || (wanted && *pending.told != *wanted)) {
                    answer[QStringLiteral("ok")] = false;
                    answer.insert(QStringLiteral("error"),
                                  tr("Das Display hat den Wert nicht übernommen – es meldet "
                                     "%1.")
                                      .arg(DisplayReport::plainLine(request.name, value)
                                               .value_or(request.name)));
                }
            }
        }
        reply(pending.guest, answer);
        return;
    }
    SmartCommand command{request.lines.at(pending.next)};
    command.ticket = m_nextTicket++;
    command.origin = originOf(*guest->second);
    pending.lines.clear();
    const quint64 ticket = command.ticket;
    ++pending.next;
    m_pending.emplace(ticket, std::move(pending));
    if (m_controller.pump().send(std::move(command)) == 0) {
        Pending failed = std::move(m_pending.at(ticket));
        m_pending.erase(ticket);
        failed.error = tr("Die Leitung nimmt gerade keine Befehle an.");
        failed.next = failed.request.lines.size();
        sendNext(0, std::move(failed));
    }
}

void LineServer::onEvent(const SmartEvent& event, const std::optional<SmartCommand>& during)
{
    if (!during)
        return;
    const auto found = m_pending.find(during->ticket);
    if (found == m_pending.end())
        return;
    Pending& pending = found->second;
    // Only "send" answers with the display's lines; a flooding display fills nothing else.
    const bool keepLines = pending.request.kind == SessionRequest::Kind::send;
    if (event.kind == SmartEvent::Kind::value && event.name == pending.request.name)
        pending.told = event.value;
    if (!keepLines)
        return;
    switch (event.kind) {
    case SmartEvent::Kind::value:
        pending.lines.append(event.name + u'=' + event.value);
        break;
    case SmartEvent::Kind::async:
        pending.lines.append(u'#' + event.name + u'=' + event.value);
        break;
    case SmartEvent::Kind::text:
        if (!event.line.isEmpty())
            pending.lines.append(event.line);
        break;
    case SmartEvent::Kind::prompt:
        break;
    }
}

void LineServer::onFinished(const CommandResult& result)
{
    const auto found = m_pending.find(result.command.ticket);
    if (found == m_pending.end())
        return;
    Pending pending = std::move(found->second);
    const quint64 ticket = found->first;
    if (pending.request.kind == SessionRequest::Kind::send)
        pending.replies.append(QJsonObject{{"command", result.command.text},
                                           {"lines", QJsonArray::fromStringList(pending.lines)}});
    if (result.outcome != CommandResult::Outcome::answered && pending.error.isEmpty())
        pending.error = result.error;
    // From the event loop: the pump is still in the middle of this result.
    QMetaObject::invokeMethod(
        this, [this, ticket, p = std::move(pending)]() mutable { sendNext(ticket, std::move(p)); },
        Qt::QueuedConnection);
}

void LineServer::onLogAppended(int count)
{
    if (std::none_of(m_guests.begin(), m_guests.end(),
                     [](const auto& entry) { return entry.second->watching; }))
        return;
    const LogBuffer& log = m_controller.log().entries();
    QList<QJsonObject> events;
    for (int i = std::max(0, log.size() - count); i < log.size(); ++i) {
        const LogEntry& entry = log.at(i);
        events.append(QJsonObject{{"event", "log"},
                                  {"time", entry.date.toString(Qt::ISODateWithMs)},
                                  {"kind", kindName(entry.kind)},
                                  {"text", entry.text},
                                  {"poll", entry.poll}});
    }
    toWatchers(events);
}

void LineServer::onValuesChanged()
{
    const QJsonObject values = DisplayReport::values(m_controller.display().state());
    QList<QJsonObject> events;
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QString name = it.key();
        const QJsonValue value = it.value();
        if (m_lastValues.value(name) == value)
            continue;
        m_lastValues.insert(name, value);
        events.append(QJsonObject{{"event", "value"}, {"name", name}, {"value", value}});
    }
    toWatchers(events);
}

void LineServer::toWatchers(const QList<QJsonObject>& events)
{
    // Ids first: a guest let go while its events are written leaves the others in place.
    std::vector<quint64> watchers;
    for (const auto& [id, guest] : m_guests) {
        if (guest->watching)
            watchers.push_back(id);
    }
    for (quint64 id : watchers) {
        for (const QJsonObject& event : events)
            reply(id, event);
    }
}

void LineServer::reply(quint64 guestId, const QJsonObject& object)
{
    const auto found = m_guests.find(guestId);
    if (found == m_guests.end() || found->second->dropping)
        return;
    Guest& guest = *found->second;
    QLocalSocket& socket = *guest.socket;
    socket.write(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
    // A guest that does not read its replies is let go, not buffered for without end.
    if (socket.bytesToWrite() > maxUnread) {
        // Marked first: the log entry below is itself an event for watchers like this one.
        guest.dropping = true;
        guest.watching = false;
        QMetaObject::invokeMethod(
            this, [this, guestId] { dropGuest(guestId); }, Qt::QueuedConnection);
        m_controller.log().error(
            tr("%1 liest seine Antworten nicht – getrennt.").arg(originOf(guest)));
    }
}

void LineServer::dropGuest(quint64 guestId)
{
    const auto found = m_guests.find(guestId);
    if (found == m_guests.end())
        return;
    std::unique_ptr<Guest> guest = std::move(found->second);
    m_guests.erase(found);
    guest->socket->disconnect(this);
    guest->socket->abort();
    // Commands it queued still run (the queue cannot take them back); their answers go
    // nowhere.
    std::erase_if(m_pending,
                  [guestId](const auto& entry) { return entry.second.guest == guestId; });
    QLocalSocket* socket = guest->socket.release();
    socket->deleteLater();
    emit guestsChanged();
}
