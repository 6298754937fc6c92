// The line tests end to end: test output read by a terminal on a pseudo-terminal, and
// the bridge-plug test against the loopback simulator and against echoes chosen here.
#include "ControllerFixture.h"
#include "Pty.h"
#include "ScriptedDisplay.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

using Kind = LogEntry::Kind;

namespace {

// Generous: CI is a noisy two-core machine, also under sanitizers.
constexpr int waitMs = 10000;

const QString notConnected =
    QStringLiteral("Erst verbinden – Testbytes gehen auf die gewählte Schnittstelle.");
const QString invalidHex = QStringLiteral("Ungültige Hex-Eingabe.");
const QString loopbackStartLine = QStringLiteral(
    "Brückentest läuft: 32 Bytes je Paket, 19200 · 8N1. Erwartet: jedes Byte kommt identisch "
    "zurück.");

// The controller on the system's clock: echo delays must be measured, not frozen.
DisplayController& makeWithSystemClock(ControllerFixture& f)
{
    ControllerOptions options;
    options.connectAtStartup = false;
    options.scanner = f.scanner;
    options.hotplug = f.hotplug;
    f.controller = std::make_unique<DisplayController>(f.store.settings(), options);
    return *f.controller;
}

void connectTo(ControllerFixture& f, const QString& path)
{
    if (!SerialPortInfo::isSimulatorPath(path))
        f.scanner->list(path);
    f.controller->setSelectedPath(path);
    f.controller->connect();
}

// A terminal that shows the display's prompt after every line, so the start-up
// queries are answered.
QByteArray promptOnly(const QString&)
{
    return QByteArrayLiteral("\r\n>");
}

bool startupDone(const ControllerFixture& f)
{
    return f.logTexts(Kind::tx).size() >= 14 && f.controller->queue().isEmpty() &&
           !f.controller->current();
}

QByteArray counterLine(qint64 number)
{
    // The fixture's clock stands at 14:03:22.
    return "Bildwart Test #" + QByteArray::number(number).rightJustified(4, '0') +
           " | 19200 8N1 | 14:03:22\r\n";
}

const LogEntry* findEntry(const DisplayController& c, const QString& text)
{
    for (const LogEntry& entry : c.log()) {
        if (entry.text == text)
            return &entry;
    }
    return nullptr;
}

QString stopLine(const LoopbackStats& stats)
{
    return QStringLiteral("Brückentest beendet: %1 Pakete, %2 in Ordnung, %3 fehlerhaft, "
                          "%4 verloren")
        .arg(stats.sent)
        .arg(stats.ok)
        .arg(stats.faulty)
        .arg(stats.lost);
}

// How the far end of the scripted line returns a packet.
enum class Echo { none, first20, oneMore, fifthCorrupted };

QByteArray echoOf(Echo echo, const QByteArray& packet)
{
    switch (echo) {
    case Echo::none:
        return {};
    case Echo::first20:
        return packet.left(20);
    case Echo::oneMore:
        return packet + 'X';
    case Echo::fifthCorrupted: {
        QByteArray corrupted = packet;
        corrupted[4] = 'X';
        return corrupted;
    }
    }
    return {};
}

} // namespace

class LineTestsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void testOutputSendsNumberedLines()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        ScriptedDisplay terminal(pty, promptOnly);
        ControllerFixture f;
        DisplayController& c = f.make();
        c.setPollingInterval(1.0);
        c.setTestInterval(0.05);
        connectTo(f, pty.slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);

        const qsizetype before = terminal.received.size();
        c.startTest();
        QVERIFY(c.testRunning());
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Testausgabe läuft: Zählerzeile, alle 0,05 s"));
        // 32 packets take at least 1.55 s: time for a poll round to come due.
        QTRY_VERIFY_WITH_TIMEOUT(c.testSentCount() >= 32, waitMs);
        c.stopTest();
        QVERIFY(!c.testRunning());
        const qint64 sent = c.testSentCount();
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Testausgabe gestoppt nach %1 Paketen").arg(sent));

        // Every packet arrives in order with CR LF, and no query is mixed in.
        QByteArray expected;
        for (qint64 n = 1; n <= sent; ++n)
            expected += counterLine(n);
        QTRY_VERIFY_WITH_TIMEOUT(terminal.received.size() - before >= expected.size(), waitMs);
        QCOMPARE(terminal.received.mid(before, expected.size()), expected);

        // Nothing goes out after the stop.
        QTest::qWait(150);
        QCOMPARE(c.testSentCount(), sent);

        // A second run goes on counting.
        c.startTest();
        QTRY_VERIFY_WITH_TIMEOUT(c.testSentCount() > sent, waitMs);
        c.stopTest();
        const QByteArray next = counterLine(sent + 1);
        QVERIFY(f.logTexts(Kind::tx).contains(QStringLiteral("Test #%1: ").arg(sent + 1) +
                                              LogEntry::printable(next)));
        QTRY_VERIFY_WITH_TIMEOUT(terminal.received.contains(next), waitMs);
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Testausgabe gestoppt nach %1 Paketen").arg(c.testSentCount()));
    }

    void testOutputNeedsAConnection()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.startTest();
        QVERIFY(!c.testRunning());
        c.sendTestOnce();
        QCOMPARE(f.logTexts(Kind::error), (QStringList{notConnected, notConnected}));
        QCOMPARE(c.testSentCount(), 0);
    }

    void invalidHexSendsNothing_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::newRow("not hex") << "48 6G";
        QTest::newRow("empty") << "";
    }
    void invalidHexSendsNothing()
    {
        QFETCH(QString, hex);
        Pty pty;
        ScriptedDisplay terminal(pty, promptOnly);
        ControllerFixture f;
        DisplayController& c = f.make();
        connectTo(f, pty.slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);
        const qint64 txBefore = c.txCount();
        c.setTestPattern(TestPattern::customHex);
        c.setTestCustomHex(hex);

        c.sendTestOnce();
        QCOMPARE(f.logTexts(Kind::error), QStringList{invalidHex});

        // A running output keeps running and says so at every interval.
        c.setTestInterval(0.05);
        c.startTest();
        QTRY_VERIFY_WITH_TIMEOUT(f.logTexts(Kind::error).count(invalidHex) >= 3, waitMs);
        QVERIFY(c.testRunning());
        c.stopTest();
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Testausgabe gestoppt nach 0 Paketen"));
        QCOMPARE(c.testSentCount(), 0);
        QCOMPARE(c.txCount(), txBefore);
    }

    void loopbackSimulatorReturnsEveryPacket()
    {
        ControllerFixture f;
        DisplayController& c = makeWithSystemClock(f);
        connectTo(f, SerialPortInfo::loopbackSimulatorPath);
        QVERIFY(c.rawMode());

        // A test output runs when the loopback test starts; its one packet has come back,
        // so no late echo can fall into the first loopback packet.
        c.setTestInterval(60);
        c.startTest();
        QTRY_VERIFY_WITH_TIMEOUT(c.testSentCount() == 1 && c.rxCount() == c.txCount(), waitMs);

        c.startLoopback();
        QVERIFY(!c.testRunning());
        QVERIFY(c.loopbackRunning());
        const QStringList info = f.logTexts(Kind::info);
        const auto testStop = info.indexOf(QStringLiteral("Testausgabe gestoppt nach 1 Paketen"));
        const auto loopbackStart = info.indexOf(loopbackStartLine);
        QVERIFY2(testStop >= 0 && testStop < loopbackStart, qPrintable(info.join(u'\n')));

        QTRY_VERIFY_WITH_TIMEOUT(c.loopback().sent >= 5, waitMs);
        c.stopLoopback();
        QVERIFY(!c.loopbackRunning());
        QVERIFY(c.rawMode());

        const LoopbackStats stats = c.loopback();
        QCOMPARE(stats.ok, stats.sent);
        QCOMPARE(stats.lost, 0);
        QCOMPARE(stats.faulty, 0);
        QCOMPARE(stats.lastResult, std::optional(LoopbackStats::Result::ok()));
        const qint64 packets = f.logTexts(Kind::tx).count() - 1; // minus the test line
        QCOMPARE(stats.bytesSent, 32 * packets);
        QVERIFY(stats.lastLatency && stats.minLatency && stats.maxLatency);
        QVERIFY(*stats.minLatency > 0);
        QVERIFY(*stats.minLatency <= *stats.maxLatency);
        // Woken by the echo, not by the 0.3 s deadline.
        QVERIFY2(*stats.minLatency < 0.25, qPrintable(QString::number(*stats.minLatency)));
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        QCOMPARE(f.logTexts(Kind::info).last(), stopLine(stats));
    }

    void loopbackVerdicts_data()
    {
        QTest::addColumn<int>("echoCase"); // Echo
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<bool>("lost");
        QTest::addColumn<bool>("waitsForDeadline");
        QTest::newRow("nothing back")
            << int(Echo::none) << "nichts zurück – Brücke/Kabel/Adapter prüfen" << true << true;
        QTest::newRow("short echo")
            << int(Echo::first20) << "nur 20 von 32 Bytes zurück" << false << true;
        QTest::newRow("one byte more")
            << int(Echo::oneMore) << "33 statt 32 Bytes zurück" << false << false;
        QTest::newRow("fifth byte corrupted")
            << int(Echo::fifthCorrupted) << "Byte 5 verfälscht – Baudrate/Parität/Masse prüfen"
            << false << false;
    }
    void loopbackVerdicts()
    {
        QFETCH(int, echoCase);
        QFETCH(QString, verdict);
        QFETCH(bool, lost);
        QFETCH(bool, waitsForDeadline);
        Pty pty;
        // A display for the start-up queries, and for packets a line with faults of our choice.
        const auto echo = Echo(echoCase);
        ScriptedDisplay far(pty, [echo](const QString& line) {
            if (!line.startsWith(u'<'))
                return promptOnly(line);
            return echoOf(echo, line.toLatin1() + "\r\n");
        });
        ControllerFixture f;
        DisplayController& c = makeWithSystemClock(f);
        connectTo(f, pty.slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);
        QVERIFY(!c.rawMode());

        QElapsedTimer clock;
        clock.start();
        c.startLoopback();
        QVERIFY(c.rawMode());
        QTRY_VERIFY_WITH_TIMEOUT(c.loopback().sent >= 1, waitMs);
        const qint64 elapsedMs = clock.elapsed();
        c.stopLoopback();

        const LoopbackStats stats = c.loopback();
        QCOMPARE(stats.ok, 0);
        QCOMPARE(lost ? stats.lost : stats.faulty, stats.sent);
        QVERIFY(!stats.lastLatency);
        const LogEntry* entry = findEntry(c, QStringLiteral("Brückentest #1: ") + verdict);
        QVERIFY(entry);
        QCOMPARE(entry->kind, Kind::error);
        QVERIFY(entry->bytes.isEmpty());
        if (waitsForDeadline)
            QVERIFY2(elapsedMs >= 290, qPrintable(QString::number(elapsedMs)));
        QCOMPARE(f.logTexts(Kind::info).last(), stopLine(stats));
    }

    void stoppingWhileAPacketWaits_data()
    {
        QTest::addColumn<int>("echoBytes");
        QTest::addColumn<int>("counted");
        QTest::newRow("nothing back yet") << 0 << 0;
        QTest::newRow("part of the echo") << 20 << 0;
        QTest::newRow("whole echo") << 32 << 1;
    }
    void stoppingWhileAPacketWaits()
    {
        QFETCH(int, echoBytes);
        QFETCH(int, counted);
        Pty pty;
        ScriptedDisplay silent(pty);
        ControllerFixture f;
        DisplayController& c = makeWithSystemClock(f);
        // A slow line: the packet's deadline (1 s) is far off while the test acts.
        SerialSettings slow = c.settings();
        slow.baudRate = 1200;
        c.setSettings(slow);
        c.setRawMode(true);
        connectTo(f, pty.slavePath());

        QSignalSpy written(&c, &DisplayController::txCountChanged);
        c.startLoopback();
        QVERIFY(written.wait(waitMs)); // packet 1 is out and waits for its echo
        const QByteArray packet = LoopbackStats::packet(1, 32);
        if (echoBytes > 0)
            c.handleReceived(packet.left(echoBytes)); // as the port delivers it
        c.stopLoopback();

        const LoopbackStats stats = c.loopback();
        QCOMPARE(stats.sent, counted);
        QCOMPARE(stats.ok, counted);
        QCOMPARE(stats.lost, 0);
        QCOMPARE(stats.bytesSent, 32);
        QCOMPARE(stats.bytesReceived, echoBytes);
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        // The stop line sums up what the statistics show.
        QCOMPARE(f.logTexts(Kind::info).last(), stopLine(stats));
    }
};

QTEST_GUILESS_MAIN(LineTestsTest)
#include "test_line_tests.moc"
