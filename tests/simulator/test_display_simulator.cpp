#include "serial/SerialPort.h"
#include "simulator/DisplaySimulator.h"

#include <QTest>
#include <memory>

namespace {

// A port on the simulator's slave, as the controller opens it.
struct Line {
    SerialPort port;
    QByteArray received;
    QStringList closeReasons;

    explicit Line(const QString& path)
        : port(path, SerialSettings::smartStandard())
    {
        port.onData = [this](const QByteArray& chunk) { received += chunk; };
        port.onClose = [this](const QString& reason) { closeReasons.append(reason); };
    }
};

} // namespace

class DisplaySimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void scriptedConversation()
    {
        DisplaySimulator simulator(DisplaySeries::rx, false);
        QVERIFY(simulator.devicePath().isEmpty());
        QVERIFY(!simulator.start());
        QVERIFY(simulator.devicePath().startsWith(QStringLiteral("/dev/pts/")));

        Line line(simulator.devicePath());
        QVERIFY(!line.port.open());
        const QList<std::pair<QByteArray, QByteArray>> script{
            {"get modelnum\r", "\r\nmodelnum=SBID-RX086\r\n>"},
            {"set volume+5\r", "\r\nvolume=35\r\n>"},
            {"SET VOLUME-50\r", "\r\nvolume=0\r\n>"},
            {"set powerstate=ready\r", "\r\ninvalid val\r\n>"},
            {"set powerstate=standby\r", "\r\npowerstate=standby\r\n>"},
            {"get powerstate\r", "\r\npowerstate=standby\r\n>"},
            {"get volume\r\n", "\r\nvolume=0\r\n>\r\n>"},
        };
        // One command at a time, each waiting for its answer, as the controller does.
        for (const auto& [command, answer] : script) {
            line.received.clear();
            QVERIFY(!line.port.write(command));
            QTRY_COMPARE_WITH_TIMEOUT(line.received.size(), answer.size(), 10000);
            QCOMPARE(line.received, answer);
        }
        QVERIFY(line.closeReasons.isEmpty());
    }

    void loopbackReturnsEveryByte()
    {
        DisplaySimulator simulator(DisplaySeries::qx, true);
        QVERIFY(!simulator.start());
        Line line(simulator.devicePath());
        QVERIFY(!line.port.open());

        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all += char(i);
        const QByteArray sent = all + all + all;
        QVERIFY(!line.port.write(sent));
        QTRY_COMPARE_WITH_TIMEOUT(line.received.size(), sent.size(), 10000);
        QCOMPARE(line.received, sent);
    }

    void stoppingHangsUpTheLine()
    {
        auto simulator = std::make_unique<DisplaySimulator>(DisplaySeries::qx, false);
        QVERIFY(!simulator->start());
        QVERIFY(simulator->isRunning());
        Line line(simulator->devicePath());
        QVERIFY(!line.port.open());

        simulator->stop();
        QVERIFY(!simulator->isRunning());
        simulator->stop(); // harmless
        QTRY_COMPARE_WITH_TIMEOUT(line.closeReasons.size(), 1, 10000);
        QCOMPARE(line.closeReasons.first(), QStringLiteral("Gegenstelle getrennt"));
        line.port.close();
        simulator.reset();
    }

    void portMayComeAndGo()
    {
        // The simulator holds the slave itself, so a reconnect finds it alive and
        // with its settings as they were.
        DisplaySimulator simulator(DisplaySeries::qx, false);
        QVERIFY(!simulator.start());
        {
            Line line(simulator.devicePath());
            QVERIFY(!line.port.open());
            QVERIFY(!line.port.write("set volume=12\r"));
            QTRY_COMPARE_WITH_TIMEOUT(line.received, QByteArray("\r\nvolume=12\r\n>"), 10000);
        }
        Line again(simulator.devicePath());
        QVERIFY(!again.port.open());
        QVERIFY(!again.port.write("get volume\r"));
        QTRY_COMPARE_WITH_TIMEOUT(again.received, QByteArray("\r\nvolume=12\r\n>"), 10000);
        QVERIFY(again.closeReasons.isEmpty());
    }
};

QTEST_GUILESS_MAIN(DisplaySimulatorTest)
#include "test_display_simulator.moc"
