// The line tests end to end: test output read by a terminal on a pseudo-terminal, and
// the bridge-plug test against the loopback simulator and against echoes chosen here.
#include "LineFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>

namespace {

const QString notConnected =
    QStringLiteral("Erst verbinden – Testbytes gehen auf die gewählte Schnittstelle.");
const QString invalidHex = QStringLiteral("Ungültige Hex-Eingabe.");
const QString loopbackStartLine = QStringLiteral(
    "Brückentest läuft: 32 Bytes je Paket, 19200 · 8N1. Erwartet: jedes Byte kommt identisch "
    "zurück.");

// The controller on the system's clock: echo delays must be measured, not frozen.
DisplayController& makeWithSystemClock(ControllerFixture& f)
{
    f.systemClock = true;
    return f.make();
}

QByteArray counterLine(qint64 number)
{
    // The fixture's clock stands at 14:03:22.
    return "Bildwart Test #" + QByteArray::number(number).rightJustified(4, '0') +
           " | 19200 8N1 | 14:03:22\r\n";
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

} // namespace

class LineTestsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void testOutputSendsNumberedLines()
    {
        Pty pty;
        QVERIFY(pty.isValid());
        ScriptedDisplay terminal(pty.master(), promptOnly);
        ControllerFixture f;
        DisplayController& c = f.make();
        c.setPollingInterval(1.0);
        c.setTestInterval(0.05);
        f.connectTo(pty.slavePath());
        QVERIFY(f.waitUntilIdle());

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
        ScriptedDisplay terminal(pty.master(), promptOnly);
        ControllerFixture f;
        DisplayController& c = f.make();
        f.connectTo(pty.slavePath());
        QVERIFY(f.waitUntilIdle());
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
        f.connectTo(SerialPortInfo::loopbackSimulatorPath);
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
        QTest::addColumn<bool>("echo"); // the fifth byte corrupted, or nothing at all
        QTest::addColumn<QString>("verdict");
        QTest::newRow("nothing back") << false << "nichts zurück – Brücke/Kabel/Adapter prüfen";
        QTest::newRow("fifth byte corrupted")
            << true << "Byte 5 verfälscht – Baudrate/Parität/Masse prüfen";
    }
    void loopbackVerdicts()
    {
        QFETCH(bool, echo);
        QFETCH(QString, verdict);
        Pty pty;
        // A display for the start-up queries, and for packets a line with a fault.
        ScriptedDisplay far(pty.master(), [echo](const QString& line) {
            if (!line.startsWith(u'<'))
                return promptOnly(line);
            QByteArray packet = line.toLatin1() + "\r\n";
            packet[4] = 'X';
            return echo ? packet : QByteArray();
        });
        ControllerFixture f;
        DisplayController& c = makeWithSystemClock(f);
        f.connectTo(pty.slavePath());
        QVERIFY(f.waitUntilIdle());
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
        QCOMPARE(echo ? stats.faulty : stats.lost, stats.sent);
        QVERIFY(!stats.lastLatency);
        const QString text = QStringLiteral("Brückentest #1: ") + verdict;
        QCOMPARE(f.logTexts(Kind::error).value(0), text);
        QVERIFY(c.log().at(f.logTexts().indexOf(text)).bytes.isEmpty());
        if (!echo) // a lost packet is judged at its deadline
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
        ScriptedDisplay silent(pty.master());
        ControllerFixture f;
        DisplayController& c = makeWithSystemClock(f);
        // A slow line: the packet's deadline (1 s) is far off while the test acts.
        SerialSettings slow = c.settings();
        slow.baudRate = 1200;
        c.setSettings(slow);
        c.setRawMode(true);
        f.connectTo(pty.slavePath());

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
