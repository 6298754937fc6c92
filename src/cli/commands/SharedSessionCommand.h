#pragma once

#include "cli/commands/Command.h"

#include <QJsonObject>
#include <QLocalSocket>
#include <QTimer>
#include <functional>
#include <memory>

// get, set, send, status and monitor through the session that holds the line (the window,
// "bildwartctl serve"): the request goes over its socket into its queue, the answer comes
// back, printed as the command prints it on a line of its own. When no session answers
// (it ended meanwhile), the command opens the line itself.
class SharedSessionCommand final : public Command {
public:
    using Direct = std::function<std::unique_ptr<Command>()>;

    SharedSessionCommand(Session& session, QString socketPath, Direct direct);
    ~SharedSessionCommand() override;
    void start() override;

    // The socket of the session that holds the port of this call, if one is there;
    // empty otherwise.
    static QString socketFor(const Session& session);

private:
    void onGreeting(const QJsonObject& greeting);
    void onMessage(const QJsonObject& message);
    void onReply(const QJsonObject& reply);
    void fallBack();
    void fail(int code, const QString& text);

    Session& m_session;
    QString m_path;
    Direct m_direct;
    std::unique_ptr<Command> m_fallback;
    QLocalSocket m_socket;
    QByteArray m_buffer;
    QTimer m_duration; // monitor --duration
    QTimer m_patience; // a session that does not answer
    bool m_greeted = false;
    bool m_done = false;
};
