// The session that holds a line, serving it to guests: requests and their answers, guests
// that misbehave, scripts through bildwartctl beside the session's own polling, and
// "bildwartctl serve".
#include "ControllerFixture.h"
#include "Support.h"

#include "controller/CommandPump.h"
#include "controller/LineSession.h"
#include "session/LineServer.h"
#include "session/SocketPath.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int processTimeoutMs = 120'000;

// A guest in the test: requests out, one JSON object a line back.
class Guest {
public:
    explicit Guest(const QString& path) { m_socket.connectToServer(path); }

    QLocalSocket& socket() { return m_socket; }
    void write(const QByteArray& bytes) { m_socket.write(bytes); }
    void ask(const QJsonObject& request)
    {
        write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    }
    // The next message, within the wait; an empty object when none came.
    QJsonObject next()
    {
        waitUntil([&] {
            m_buffer += m_socket.readAll();
            return m_buffer.contains('\n') || m_socket.state() == QLocalSocket::UnconnectedState;
        });
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0)
            return {};
        const QJsonObject message = QJsonDocument::fromJson(m_buffer.first(end)).object();
        m_buffer.remove(0, end + 1);
        return message;
    }
    // The next reply, past the events of a watch.
    QJsonObject reply()
    {
        for (;;) {
            const QJsonObject message = next();
            if (message.isEmpty() || !message.contains("event"))
                return message;
        }
    }

private:
    QLocalSocket m_socket;
    QByteArray m_buffer;
};

struct Session : ControllerFixture {
    std::unique_ptr<LineServer> server;

    Session()
    {
        realTime = true;
        make();
        setPolling(true, 1);
        server = std::make_unique<LineServer>(*controller, QStringLiteral("test"));
        controller->ports().select(QStringLiteral("simulator://smart"));
        controller->connectLine();
    }
    // The text of the newest log entry of that kind.
    QString lastLogged(LogEntry::Kind kind) const
    {
        const LogBuffer& log = controller->log().entries();
        for (int i = log.size() - 1; i >= 0; --i) {
            if (log.at(i).kind == kind)
                return log.at(i).text;
        }
        return {};
    }
    bool ready()
    {
        return waitUntil([&] { return !server->socketPath().isEmpty() && idle(); });
    }
};

QProcessEnvironment childEnvironment(const QString& runtime, const QString& config)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("XDG_CONFIG_HOME", config);
    environment.insert("LC_ALL", "C.UTF-8");
    return environment;
}

} // namespace

class LineServerTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString runtime() const { return m_dir.filePath("run"); }
    QString config() const { return m_dir.filePath("config"); }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir().mkpath(runtime()) && QDir().mkpath(config()));
        qputenv("XDG_RUNTIME_DIR", runtime().toUtf8());
    }

    // Each request and what comes back; a refused one puts nothing on the line.
    void requests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QJsonObject>("expected"); // keys to compare in the reply
        QTest::addColumn<bool>("sent");            // whether it reaches the line
        const auto row = [](const char* tag, const char* request, const QJsonObject& expected,
                            bool sent) {
            QTest::newRow(tag) << QByteArray(request) << expected << sent;
        };
        row("get", R"({"id":1,"get":"volume"})", {{"id", 1}, {"ok", true}, {"value", 30}}, true);
        row("set", R"({"id":"a","set":"volume","value":40})",
            {{"id", "a"}, {"ok", true}, {"value", 40}}, true);
        row("a setting the display does not know", R"({"get":"contrast"})",
            {{"ok", false}, {"error", "Display meldet: invalid cmd"}}, true);
        row("send, each line its own answer", R"({"send":["get volume","get foo"]})",
            {{"ok", false},
             {"error", "Display meldet: invalid cmd"},
             {"replies",
              QJsonArray{
                  QJsonObject{{"command", "get volume"}, {"lines", QJsonArray{"volume=30"}}},
                  QJsonObject{{"command", "get foo"}, {"lines", QJsonArray{"invalid cmd"}}}}}},
            true);
        row("a value out of range", R"({"id":2,"set":"volume","value":"laut"})",
            {{"id", 2}, {"ok", false}}, false);
        row("a line break smuggled into a command",
            "{\"send\":[\"get volume\\r\\nset powerstate=standby\"]}", {{"ok", false}}, false);
        row("raw bytes outside raw mode", R"({"raw":"55AA"})",
            {{"ok", false}, {"error", "Rohe Bytes nur im Rohdaten-Modus."}}, false);
        row("no JSON", "get volume", {{"ok", false}}, false);
        row("a level that is no whole number", "{\"set\":\"volume\",\"value\":42.5}",
            {{"ok", false}}, false);
        row("two requests in one", R"({"get":"volume","status":true})", {{"ok", false}}, false);
    }
    void requests()
    {
        QFETCH(QByteArray, request);
        QFETCH(QJsonObject, expected);
        QFETCH(bool, sent);
        Session session;
        QVERIFY(session.ready());
        Guest guest(session.server->socketPath());
        const QJsonObject greeting = guest.next();
        QCOMPARE(greeting["bildwart"].toInt(), 1);
        QCOMPARE(greeting["line"].toString(), QStringLiteral("simulator://smart"));
        QCOMPARE(greeting["pid"].toInteger(), QCoreApplication::applicationPid());
        session.setPolling(false, 1);
        const qint64 before = session.controller->log().counters().tx;
        guest.write(request + '\n');
        const QJsonObject reply = guest.reply();
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(reply.value(it.key()) == it.value(),
                     QJsonDocument(reply).toJson(QJsonDocument::Compact).constData());
        if (!reply["ok"].toBool())
            QVERIFY(!reply["error"].toString().isEmpty());
        QCOMPARE(session.controller->log().counters().tx > before, sent);
        // The guest's command is marked in the log with who sent it.
        if (sent)
            QVERIFY(session.lastLogged(LogEntry::Kind::tx).contains(", PID "));
    }

    // Untrusted guests: a flood without a line end, one that never reads, and two hundred
    // at once; the session lets go of the first two and serves the rest.
    void guestsThatMisbehave()
    {
        Session session;
        QVERIFY(session.ready());
        const QString path = session.server->socketPath();

        Guest flood(path);
        flood.next();
        flood.write(QByteArray(10 * 1024 * 1024, 'x'));
        QVERIFY(waitUntil([&] { return flood.socket().state() == QLocalSocket::UnconnectedState; },
                          processTimeoutMs));

        Guest deaf(path); // watches, asks and asks, reads nothing
        QVERIFY(waitUntil([&] { return session.server->guestCount() == 1; }));
        const QByteArray ask = "{\"status\":true}\n";
        deaf.write("{\"watch\":true}\n" + ask.repeated(20000));
        QVERIFY(waitUntil([&] { return session.server->guestCount() == 0; }, processTimeoutMs));
        QVERIFY(session.lastLogged(LogEntry::Kind::error).contains("liest seine Antworten nicht"));

        // One guest cannot fill the queue that everyone shares.
        {
            Guest eager(path);
            QCOMPARE(eager.next()["bildwart"].toInt(), 1);
            const QByteArray get = "{\"get\":\"volume\"}\n";
            eager.write(get.repeated(LineServer::maxOpenRequests + 4));
            int answered = 0;
            int refused = 0;
            for (int i = 0; i < LineServer::maxOpenRequests + 4; ++i) {
                const QJsonObject reply = eager.reply();
                (reply["ok"].toBool() ? answered : refused) += 1;
            }
            QCOMPARE(answered, LineServer::maxOpenRequests);
            QCOMPARE(refused, 4);
        }
        QVERIFY(waitUntil([&] { return session.server->guestCount() == 0; }));

        // Gone in the middle of its commands: they run out, their answers go nowhere.
        {
            Guest gone(path);
            QVERIFY(waitUntil([&] { return session.server->guestCount() == 1; }));
            gone.ask({{"send", QJsonArray{"get volume", "get brightness", "get mute"}}});
            QVERIFY(waitUntil([&] { return !session.idle(); }));
            gone.socket().abort();
        }
        QVERIFY(waitUntil([&] { return session.server->guestCount() == 0 && session.idle(); }));

        std::vector<std::unique_ptr<Guest>> crowd;
        for (int i = 0; i < 200; ++i)
            crowd.push_back(std::make_unique<Guest>(path));
        for (auto& guest : crowd) {
            QCOMPARE(guest->next()["bildwart"].toInt(), 1);
            guest->ask({{"get", "volume"}});
        }
        for (auto& guest : crowd)
            QCOMPARE(guest->reply()["value"].toInt(), 30);
        QCOMPARE(session.server->guestCount(), 200);
    }

    // A socket left by a session killed with SIGKILL: nobody answers, so the next one takes
    // its place. The socket goes when the line closes.
    void aSocketLeftBehind()
    {
        QVERIFY(!SocketPath::prepareFolder());
        const QString path = SocketPath::forLine(QStringLiteral("simulator://smart"));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toUtf8().constData(), sizeof address.sun_path - 1);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd); // as a killed process leaves it: the file, and nobody listening
        QVERIFY(QFileInfo::exists(path));

        // Nobody answers there: a call opens the line itself, and Ctrl+C still ends it.
        QProcess monitor;
        monitor.setProcessEnvironment(childEnvironment(runtime(), config()));
        monitor.start(BILDWARTCTL, {"-p", "simulator://smart", "monitor"});
        QVERIFY(waitUntil([&] { return monitor.peek(4096).contains("Verbunden mit"); },
                          processTimeoutMs));
        ::kill(pid_t(monitor.processId()), SIGINT);
        QVERIFY(
            waitUntil([&] { return monitor.state() == QProcess::NotRunning; }, processTimeoutMs));
        QCOMPARE(monitor.exitCode(), 128 + SIGINT);

        Session session;
        QVERIFY(session.ready());
        QCOMPARE(session.server->socketPath(), path);
        Guest guest(path);
        QCOMPARE(guest.next()["bildwart"].toInt(), 1);
        QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        session.controller->disconnectLine();
        QVERIFY(waitUntil([&] { return !QFileInfo::exists(path); }));
    }

    // Four scripts at once through bildwartctl, each with its own setting, beside the
    // session's polling every second: every answer is the one to the command before it.
    void scriptsBesidePolling()
    {
        Session session;
        QVERIFY(session.ready());
        const QStringList settings{"volume", "brightness", "mute", "videofreeze"};
        std::vector<std::unique_ptr<QProcess>> scripts;
        for (const QString& setting : settings) {
            QStringList lines;
            for (int i = 0; i < 125; ++i) {
                const QString value = setting == "volume" || setting == "brightness"
                                          ? QString::number((i * 7) % 101)
                                          : QString(i % 2 ? "on" : "off");
                lines << QStringLiteral("set %1=%2").arg(setting, value)
                      << QStringLiteral("get %1").arg(setting);
            }
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(childEnvironment(runtime(), config()));
            process->start(BILDWARTCTL,
                           QStringList{"-p", "simulator://smart", "--json", "send"} + lines);
            scripts.push_back(std::move(process));
        }
        for (size_t k = 0; k < scripts.size(); ++k) {
            QProcess& process = *scripts[k];
            QVERIFY(waitUntil([&] { return process.state() == QProcess::NotRunning; },
                              processTimeoutMs));
            QCOMPARE(process.exitCode(), 0);
            const QJsonArray replies = QJsonDocument::fromJson(process.readAllStandardOutput())
                                           .object()["replies"]
                                           .toArray();
            QCOMPARE(replies.size(), 250);
            for (int i = 0; i < 250; i += 2) {
                const QString set = replies[i]["command"].toString();
                const QString wanted = set.mid(4); // "volume=35"
                QCOMPARE(replies[i]["lines"].toArray(), QJsonArray{wanted});
                QCOMPARE(replies[i + 1]["lines"].toArray(), QJsonArray{wanted});
            }
        }
        QCOMPARE(session.controller->log().counters().timeouts, 0);
        QVERIFY(session.controller->pump().polling().enabled);
    }

    // serve holds the line and shares it; SIGTERM closes it and removes the socket.
    void serve()
    {
        QProcess serve;
        serve.setProcessEnvironment(childEnvironment(runtime(), config()));
        serve.start(BILDWARTCTL, {"serve", "-p", "simulator://smart", "--poll", "1"});
        const QString path = SocketPath::forLine(QStringLiteral("simulator://smart"));
        QVERIFY(waitUntil([&] { return QFileInfo::exists(path); }, processTimeoutMs));

        QProcess client;
        client.setProcessEnvironment(childEnvironment(runtime(), config()));
        client.start(BILDWARTCTL, {"-p", "simulator://smart", "-v", "get", "volume"});
        QVERIFY(
            waitUntil([&] { return client.state() == QProcess::NotRunning; }, processTimeoutMs));
        QCOMPARE(client.readAllStandardOutput(), QByteArray("volume=30\n"));
        QVERIFY(client.readAllStandardError().contains(
            "über die laufende Sitzung von bildwartctl serve (PID"));
        QCOMPARE(client.exitCode(), 0);

        ::kill(pid_t(serve.processId()), SIGTERM);
        QVERIFY(waitUntil([&] { return serve.state() == QProcess::NotRunning; }, processTimeoutMs));
        QCOMPARE(serve.exitStatus(), QProcess::NormalExit);
        QCOMPARE(serve.exitCode(), 128 + SIGTERM);
        QVERIFY(!QFileInfo::exists(path));
    }

    // Another user is refused, and the session says so in its log.
    void anotherUser()
    {
        if (::getuid() != 0)
            QSKIP("needs root to run a guest as another user");
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("setpriv (util-linux) is missing");
        Session session;
        QVERIFY(session.ready());
        // Only the folders' and the socket's modes keep others out; opened here so that the
        // session's own check is what refuses.
        for (const QString& folder : {m_dir.path(), runtime()})
            ::chmod(folder.toUtf8().constData(), 0755);
        ::chmod(SocketPath::folder().toUtf8().constData(), 0777);
        ::chmod(session.server->socketPath().toUtf8().constData(), 0777);
        QProcess guest;
        guest.setProcessEnvironment(childEnvironment(runtime(), m_dir.path()));
        guest.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", BILDWARTCTL,
                                "-p", "simulator://smart", "get", "volume"});
        QVERIFY(waitUntil([&] { return guest.state() == QProcess::NotRunning; }, processTimeoutMs));
        const QByteArray said = guest.readAllStandardError();
        QVERIFY2(said.contains("Andere Benutzer dürfen diese Sitzung"), said.constData());
        QCOMPARE(guest.exitCode(), 3);
        QVERIFY(session.lastLogged(LogEntry::Kind::error).contains("Benutzer 65534"));
        ::chmod(SocketPath::folder().toUtf8().constData(), 0700);
        ::chmod(m_dir.path().toUtf8().constData(), 0700);
    }
};

QTEST_GUILESS_MAIN(LineServerTest)
#include "test_line_server.moc"
