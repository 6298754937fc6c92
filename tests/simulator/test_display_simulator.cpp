#include "serial/SerialPort.h"
#include "simulator/DisplaySimulator.h"

#include <QTest>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace {

// A port on the simulator's slave, as the controller opens it.
struct Client {
    SerialPort port;
    QByteArray received;
    QStringList closeReasons;

    explicit Client(const QString& path)
        : port(path, SerialSettings::smartStandard())
    {
        port.onData = [this](const QByteArray& chunk) { received += chunk; };
        port.onClose = [this](const QString& reason) { closeReasons.append(reason); };
    }

    // One command at a time, waiting for its answer, as the controller does.
    QByteArray exchange(const QByteArray& command, qsizetype answerSize)
    {
        received.clear();
        if (port.write(command))
            return "write failed";
        (void)QTest::qWaitFor([&] { return received.size() >= answerSize; }, 10000);
        return received;
    }
};

} // namespace

// The display's answers themselves are checked on SimulatedDisplay, the series and the
// start-up conversation through the controller (test_connection).
class DisplaySimulatorTest : public QObject {
    Q_OBJECT

private slots:
    // The simulator holds the slave itself, so a reconnect finds it alive and with its
    // settings as they were; stopping hangs the line up.
    void portMayComeAndGoUntilStopped()
    {
        auto simulator = std::make_unique<DisplaySimulator>(DisplaySeries::qx, false);
        QVERIFY(!simulator->start());
        const QByteArray answer = "\r\nvolume=12\r\n>";
        {
            Client line(simulator->devicePath());
            QVERIFY(!line.port.open());
            QCOMPARE(line.exchange("set volume=12\r", answer.size()), answer);
        }
        Client again(simulator->devicePath());
        QVERIFY(!again.port.open());
        QCOMPARE(again.exchange("get volume\r", answer.size()), answer);
        QVERIFY(again.closeReasons.isEmpty());

        QVERIFY(simulator->isRunning());
        simulator->stop();
        QVERIFY(!simulator->isRunning());
        simulator->stop(); // harmless
        QTRY_COMPARE_WITH_TIMEOUT(again.closeReasons, QStringList{"Gegenstelle getrennt"}, 10000);
        again.port.close();
        simulator.reset();
    }

    // A client that reads slower than it writes, far beyond what the pseudo-terminal
    // buffers: the bridge plug still returns every byte value, in order.
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
        char buffer[4096];
        while (received.size() < sent.size()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10'000) <= 0)
                break;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            received.append(buffer, n);
            std::this_thread::sleep_for(std::chrono::microseconds(200)); // slower than the writer
        }
        writer.join();
        ::close(fd);
        QCOMPARE(received.size(), sent.size());
        QVERIFY(received == sent);
    }

    // A client killed while it had the line leaves the terminal's exclusive flag set; the
    // simulator clears it, so the next client is let in.
    void exclusiveUseOfAKilledClientIsReleased()
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
        ::close(observer);
    }
};

QTEST_GUILESS_MAIN(DisplaySimulatorTest)
#include "test_display_simulator.moc"
