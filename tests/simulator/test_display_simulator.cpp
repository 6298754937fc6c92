#include "serial/SerialPort.h"
#include "simulator/DisplaySimulator.h"

#include <QTest>
#include <memory>

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
    void loopbackReturnsEveryByte()
    {
        DisplaySimulator simulator(DisplaySeries::qx, true);
        QVERIFY(simulator.devicePath().isEmpty());
        QVERIFY(!simulator.start());
        QVERIFY(simulator.devicePath().startsWith(QStringLiteral("/dev/pts/")));
        Client line(simulator.devicePath());
        QVERIFY(!line.port.open());
        QByteArray sent;
        for (int i = 0; i < 3 * 256; ++i)
            sent += char(i);
        QCOMPARE(line.exchange(sent, sent.size()), sent);
    }

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
};

QTEST_GUILESS_MAIN(DisplaySimulatorTest)
#include "test_display_simulator.moc"
