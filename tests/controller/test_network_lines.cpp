// The controller on network lines, against a real ser2net serving a pseudo-terminal.
#include "ControllerFixture.h"
#include "Pty.h"
#include "ScriptedDisplay.h"
#include "Ser2net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The display behind the gateway, and the gateway.
struct Gateway {
    Pty pty;
    ScriptedDisplay display{pty.master(), answerEverything};
    Ser2net ser2net{pty.slavePath()};
};

struct NetworkFixture : ControllerFixture {
    NetworkFixture()
    {
        realTime = true;
        make();
        setPolling(false, 5);
    }
    void connect(const QString& address)
    {
        controller->ports().select(address);
        controller->connectLine();
    }
    // Connects and waits for the first of the start-up answers.
    bool connectAndWait(const QString& address)
    {
        connect(address);
        return waitUntil(
            [&] { return idle() && display().text(DisplaySetting::firmware) == u"1"; });
    }
    // Waits until the connection is in that state; a gateway that hangs gets its 5 s.
    bool reaches(ConnectionState::Case state)
    {
        return waitUntil([&] { return controller->line().connection().is(state); }, waitMs + 5000);
    }
};

speed_t speedOf(int fd)
{
    termios attributes{};
    tcgetattr(fd, &attributes);
    return cfgetospeed(&attributes);
}

} // namespace

class NetworkLinesTest : public QObject {
    Q_OBJECT

private slots:
    void startupConversation()
    {
        for (const bool rfc2217 : {false, true}) {
            Gateway gateway;
            QVERIFY(gateway.ser2net.start());
            const QString address =
                rfc2217 ? gateway.ser2net.rfc2217Address() : gateway.ser2net.rawAddress();
            NetworkFixture f;
            QVERIFY2(f.connectAndWait(address), qPrintable(f.logTexts().join(u'\n')));
            QCOMPARE(f.logTexts(Kind::info).first(),
                     "Verbunden mit " + address + " · 19200 · 8N1 · Flusssteuerung Keine");
            QCOMPARE(f.logTexts(Kind::error), QStringList());
            // Remembered for the port list, between the real ports and the simulators.
            QCOMPARE(f.controller->ports().ports().first().path, address);

            // A megabyte without a line end: bounded chunks, every byte counted, then a reply.
            const qint64 before = f.controller->log().counters().rx;
            const QByteArray flood =
                QByteArray(1024 * 1024, 'x') + "\x01\x02\xff" + "\r\nvolume=40\r\n>";
            QVERIFY(gateway.pty.writeAll(flood));
            QVERIFY(waitUntil([&] { return f.display().level(DisplaySetting::volume) == 40.0; }));
            QCOMPARE(f.controller->log().counters().rx, before + flood.size());
            // Each kept at its size: a serve keeps a hundred entries of each of its lines.
            for (const LogEntry& entry : f.controller->log().entries())
                QVERIFY(entry.bytes.size() <= 4096 &&
                        entry.bytes.capacity() <= 2 * entry.bytes.size() + 64);

            // The line's speed goes to the far port with RFC 2217; the raw port keeps its own.
            SerialSettings slower = f.controller->line().settings();
            slower.baudRate = 9600;
            f.controller->line().setSettings(slower);
            if (rfc2217)
                QVERIFY(waitUntil([&] { return speedOf(gateway.pty.slave()) == B9600; }));
            else
                QCOMPARE(speedOf(gateway.pty.slave()), speed_t(B19200));
        }
    }

    // The gateway dies in the middle of a command and comes back: one dropout, then found again.
    void gatewayThatDiesAndComesBack()
    {
        Gateway gateway;
        QVERIFY(gateway.ser2net.start());
        NetworkFixture f;
        QVERIFY(f.connectAndWait(gateway.ser2net.rawAddress()));
        gateway.display.setScript({}); // the next command waits for its answer
        f.controller->pump().send("get volume");
        QVERIFY(waitUntil([&] { return gateway.display.lines.contains("get volume"); }));
        gateway.ser2net.kill();
        QVERIFY(f.reaches(ConnectionState::Case::waiting));
        QVERIFY2(f.logTexts(Kind::error).first().startsWith("Netzwerkverbindung abgerissen: "),
                 qPrintable(f.logTexts(Kind::error).join('\n')));

        gateway.display.setScript(answerEverything);
        QVERIFY(gateway.ser2net.start());
        // Back once the display behind the gateway answers, not when the gateway does.
        QVERIFY(waitUntil([&] { return f.controller->line().reconnects() == 1; }));
        QVERIFY(f.controller->line().connection().is(ConnectionState::Case::connected));
        QCOMPARE(f.controller->line().dropouts().size(), 1);
    }

    // Raw TCP given where a Telnet COM port waits, or the other way round: a failed connect
    // at once (no dropout, no attempts) that names the other form.
    void gatewaysOfTheWrongKind()
    {
        for (const bool rfc2217 : {true, false}) {
            Gateway gateway;
            QVERIFY(gateway.ser2net.start());
            // The other accepter's port under this one's scheme.
            const QString address =
                rfc2217 ? QString(gateway.ser2net.rawAddress()).replace("tcp://", "rfc2217://")
                        : QString(gateway.ser2net.rfc2217Address()).replace("rfc2217://", "tcp://");
            NetworkFixture f;
            f.connect(address);
            QVERIFY(f.reaches(ConnectionState::Case::failed));
            const QString reason = f.controller->line().connection().reason;
            QVERIFY2(reason.contains(rfc2217 ? "mit tcp:// angeben" : "mit rfc2217:// angeben"),
                     qPrintable(reason));
            QVERIFY(f.controller->line().dropouts().isEmpty());
            f.clock->settle();
            QVERIFY(f.controller->line().connection().is(ConnectionState::Case::failed));
        }
    }

    // A ser2net without its device says so and hangs up: one dropout, its words once, no USB.
    void gatewayWithoutItsDevice()
    {
        Ser2net ser2net(QStringLiteral("/dev/bildwart-nicht-da"));
        QVERIFY(ser2net.start());
        NetworkFixture f;
        f.connect(ser2net.rawAddress());
        // The first loss, then two failed attempts (after 1 s and 2 s more).
        QVERIFY(waitUntil([&] { return f.logTexts(Kind::error).filter("Versuch 2:").size() == 1; },
                          waitMs + 5000));
        QCOMPARE(f.controller->line().dropouts().size(), 1);
        QCOMPARE(f.controller->line().reconnects(), 0);
        QCOMPARE(f.logTexts(Kind::info).filter("Gateway meldet: Device open failure").size(), 1);
        QVERIFY2(f.logTexts(Kind::error)
                     .first()
                     .endsWith("das Gateway meldete: Device open "
                               "failure: Value or file not found"),
                 qPrintable(f.logTexts().join('\n')));
        QCOMPARE(f.logTexts().filter("Wandler").size(), 0);
    }

    // Refused at once, or hanging (a full queue, as a switched-off gateway) until the timeout:
    // either way a German sentence that names the address.
    void gatewaysThatDoNotServe()
    {
        for (const bool fullListener : {false, true}) {
            const QString expected = // %1: host and port
                fullListener
                    ? "Keine Antwort von %1 nach 5 s – ist das Gateway eingeschaltet und im Netz?"
                    : "%1 lehnt die Verbindung ab – lauscht dort ein Gateway oder ser2net auf "
                      "diesem Port?";
            const quint16 port = Ser2net::freePort();
            const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
            QList<int> queued;
            if (fullListener) {
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_port = htons(port);
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address),
                         0);
                QCOMPARE(::listen(listener, 0), 0);
                // Never accepted: they fill the queue, and the kernel drops later attempts.
                for (int i = 0; i < 3; ++i) {
                    queued.append(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
                    ::connect(queued.last(), reinterpret_cast<sockaddr*>(&address), sizeof address);
                }
            }
            NetworkFixture f;
            f.connect(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port));
            QVERIFY(f.reaches(ConnectionState::Case::failed));
            const QString text = expected.arg(QStringLiteral("127.0.0.1:%1").arg(port));
            QCOMPARE(f.controller->line().connection().reason, text);
            QCOMPARE(f.logTexts(Kind::error), QStringList{text});
            for (const int fd : queued)
                ::close(fd);
            ::close(listener);
        }
    }
};

QTEST_GUILESS_MAIN(NetworkLinesTest)
#include "test_network_lines.moc"
