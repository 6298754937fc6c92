#include "simulator/DisplaySimulator.h"
#include "simulator/SimulatedDisplay.h"
#include "support/Support.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using Answers = QList<QByteArray>;

namespace {
QByteArray value(const char* name, const QByteArray& v)
{
    return QByteArray("\r\n") + name + '=' + v + "\r\n>";
}

const QByteArray prompt("\r\n>");
const QByteArray invalidCmd("\r\ninvalid cmd\r\n>");
const QByteArray invalidVal("\r\ninvalid val\r\n>");
const QByteArray help("\r\nget/set powerstate input volume mute brightness ...\r\n>");

} // namespace

// The display's answers on SimulatedDisplay alone, then the pseudo-terminal around it; its
// answers through the line in test_bildwartctl, the start-up conversation in test_connection.
class DisplaySimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void conversation_data()
    {
        QTest::addColumn<DisplaySeries>("series");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<Answers>("expected");
        const auto qx = DisplaySeries::qx;
        const auto rx = DisplaySeries::rx;
        const auto row = [](const char* tag, DisplaySeries series, const QByteArray& input,
                            const Answers& expected) {
            QTest::newRow(tag) << series << input << expected;
        };

        // Queries (the command grammar itself: test_smart_protocol)
        row("help", qx, "get help\r", {help});
        row("no verb", qx, "hello\r", {invalidCmd});
        row("CR LF answers twice", qx, "get volume\r\n", {value("volume", "30"), prompt});
        row("control bytes dropped", qx, QByteArray("get vol\x07u\x00me\r", 13),
            {value("volume", "30")});
        row("blanks around the line", qx, "  get mute  \n", {value("mute", "off")});

        // Levels
        row("step up, then far down", qx, "set volume+5\rset volume-50\r",
            {value("volume", "35"), value("volume", "0")});
        row("above 100", qx, "set brightness=250\r", {value("brightness", "100")});
        row("sign only", qx, "set volume+\r", {invalidVal});
        row("negative operand adds down", qx, "set volume+-10\r", {value("volume", "20")});

        // The 64-bit edges
        row("one above the largest", qx, "set volume=9223372036854775808\r", {invalidVal});
        row("largest, sum overflows", qx, "set volume+9223372036854775807\r",
            {value("volume", "100")});
        row("minus the smallest overflows", qx, "set brightness--9223372036854775808\r",
            {value("brightness", "100")});
        row("smallest assigned", qx, "set volume=-9223372036854775808\r", {value("volume", "0")});

        // Power states by series
        row("ready on QX", qx, "set powerstate=ready\r", {value("powerstate", "ready")});
        row("ready on RX", rx, "set powerstate=ready\r", {invalidVal});
        row("operator not looked at", rx, "set powerstate+standby\r",
            {value("powerstate", "standby")});

        // Other settings
        row("read-only", qx, "set modelnum=x\r", {invalidCmd});
        row("no operator", qx, "set mute\r", {invalidCmd});
        row("empty value", qx, "set mute=\r", {value("mute", "")});
        row("factory reset", qx, "set factoryreset=1\r", {invalidCmd});
        row("reporting on, no reports", qx, "set statereporting=on\rset volume=10\r",
            {value("statereporting", "on"), value("volume", "10")});
        row("Latin-1 in, UTF-8 out", qx, "set input=\xc4x\r", {value("input", "\xc3\xa4x")});
    }

    void conversation()
    {
        QFETCH(DisplaySeries, series);
        QFETCH(QByteArray, input);
        QFETCH(Answers, expected);
        SimulatedDisplay display(series);
        QCOMPARE(display.receive(input), expected);
    }

    // Chunks may end anywhere; a line that never ends is cut at the bound.
    void chunksAndUnendedLines()
    {
        SimulatedDisplay display(DisplaySeries::qx);
        Answers answers;
        for (const char byte : QByteArray("set volume+5\rget volume\r"))
            answers += display.receive(QByteArray(1, byte));
        QCOMPARE(answers, (Answers{value("volume", "35"), value("volume", "35")}));
        const QByteArray flood(10 * SimulatedDisplay::maxLineLength + 7, 'z');
        QCOMPARE(display.receive(flood).size(), 10);
        QCOMPARE(display.line().size(), 7);
    }

    // A client (threads here) that reads slower than it writes, far beyond what the pty
    // buffers: the bridge plug on this thread's event loop still returns every byte, in order.
    void loopbackLosesNothingWhenTheClientIsSlow()
    {
        DisplaySimulator simulator(DisplaySeries::qx, true);
        QVERIFY(!simulator.start());
        const int fd = ::open(simulator.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0); // the simulator has made the line raw: no byte may be translated
        QByteArray sent(2 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < sent.size(); ++i)
            sent[i] = char(i * 31 + i / 4096);
        std::thread writer([&] {
            for (qsizetype offset = 0; offset < sent.size();) {
                const ssize_t n =
                    ::write(fd, sent.constData() + offset, size_t(sent.size() - offset));
                if (n > 0)
                    offset += n;
            }
        });
        QByteArray received;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            char buffer[4096];
            while (received.size() < sent.size()) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 10'000) <= 0)
                    break;
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                received.append(buffer, n);
                std::this_thread::sleep_for(
                    std::chrono::microseconds(200)); // slower than the writer
            }
            done.store(true);
        });
        QVERIFY(waitUntil([&] { return done.load(); }, 10 * waitMs));
        writer.join();
        reader.join();
        ::close(fd);
        QVERIFY(received == sent);
    }

    // A client killed while it had the line leaves the terminal's exclusive flag set; the
    // simulator clears it, so the next client is let in. Stopping hangs the line up.
    void killedClientIsLetGoUntilStopped()
    {
        DisplaySimulator simulator(DisplaySeries::qx, false);
        QVERIFY(!simulator.start());
        const QByteArray path = simulator.devicePath().toLocal8Bit();
        // Opened first: a later open would be refused to anyone but root.
        const int observer = ::open(path.constData(), O_RDWR | O_NOCTTY);
        QVERIFY(observer >= 0);
        const int killed = ::open(path.constData(), O_RDWR | O_NOCTTY);
        QVERIFY(killed >= 0);
        QCOMPARE(::ioctl(killed, TIOCEXCL), 0);
        ::close(killed); // without TIOCNXCL, as a killed process leaves it
        const auto exclusive = [&] {
            int flag = 0;
            return ::ioctl(observer, TIOCGEXCL, &flag) == 0 && flag != 0;
        };
        QVERIFY(exclusive());
        QVERIFY(QTest::qWaitFor([&] { return !exclusive(); }, 10'000));

        QVERIFY(simulator.isRunning());
        simulator.stop();
        QVERIFY(!simulator.isRunning());
        simulator.stop(); // harmless
        pollfd hangUp{observer, POLLIN, 0};
        QVERIFY(::poll(&hangUp, 1, 10'000) == 1 && (hangUp.revents & POLLHUP));
        ::close(observer);
    }
};

QTEST_GUILESS_MAIN(DisplaySimulatorTest)
#include "test_display_simulator.moc"
