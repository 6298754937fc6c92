#pragma once

#include "session/SessionRequest.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <map>
#include <memory>

class DisplayController;
class QLocalServer;
class QLocalSocket;
struct CommandResult;
struct SmartCommand;
struct SmartEvent;

// Serves the line a controller holds to other programs of the same user (scripts,
// "bildwartctl", room control): a Unix socket per open line, JSON lines (see
// SessionRequest). Every guest's command goes through the controller's one queue and
// prompt handshake, so that the window's polling and a script never interleave on the
// line; each answer goes back to the guest whose command it was. Guests are untrusted:
// requests are bounded, a guest that does not read its replies is let go, and another
// user is refused.
class LineServer : public QObject {
    Q_OBJECT

public:
    // At most this many guests at once; what one may leave unread before it is let go.
    static constexpr int maxGuests = 256;
    static constexpr qint64 maxUnread = 1024 * 1024;
    // Requests of one guest in the queue at once; more are refused until answers came.
    static constexpr int maxOpenRequests = 16;

    // `program` names this process in the greeting ("bildwart", "bildwartctl serve").
    LineServer(DisplayController& controller, QString program, QObject* parent = nullptr);
    ~LineServer() override;

    // Where it listens; empty while no line is open or the socket could not be made.
    const QString& socketPath() const { return m_path; }
    int guestCount() const { return int(m_guests.size()); }

signals:
    void guestsChanged();

private:
    struct Guest;
    struct Pending;

    void follow();
    void listen(const QString& address);
    void stop();
    void accept();
    void read(quint64 guestId);
    void handle(quint64 guestId, Guest& guest, const QByteArray& line);
    void sendNext(quint64 ticket, Pending pending);
    void onEvent(const SmartEvent& event, const std::optional<SmartCommand>& during);
    void onFinished(const CommandResult& result);
    void onLogAppended(int count);
    void onValuesChanged();
    void toWatchers(const QList<QJsonObject>& events);
    void reply(quint64 guestId, const QJsonObject& object);
    void dropGuest(quint64 guestId);
    QString originOf(const Guest& guest) const;

    DisplayController& m_controller;
    QString m_program;
    QString m_path;
    std::unique_ptr<QLocalServer> m_server;
    std::map<quint64, std::unique_ptr<Guest>> m_guests;
    std::map<quint64, Pending> m_pending; // by ticket
    QJsonObject m_lastValues;             // what watchers were told last
    quint64 m_nextGuest = 1;
    quint64 m_nextTicket;
};
