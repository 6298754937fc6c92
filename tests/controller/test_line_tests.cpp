// The line tests on a fake line and a clock moved by hand: the test output for a terminal
// program, and the bridge-plug test against echoes chosen here.
#include "ControllerFixture.h"

#include <ctime>

namespace {

const QString notConnected =
    QStringLiteral("Erst verbinden – Testbytes gehen auf die gewählte Schnittstelle.");
const QString invalidHex = QStringLiteral("Ungültige Hex-Eingabe.");

// The packet as sent at `sent`, with its local time.
QByteArray counterLine(qint64 number, const QDateTime& sent)
{
    return "Bildwart Test #" + QByteArray::number(number).rightJustified(4, '0') +
           " | 19200 8N1 | " + sent.toLocalTime().toString("HH:mm:ss").toLatin1() + "\r\n";
}

QString stopLine(const LoopbackStats& stats)
{
    return QStringLiteral("Brückentest beendet: ") + stats.summary();
}

// A bridge plug with a fault: what comes back for each packet.
FakeLines::Display echo(std::function<QByteArray(QByteArray packet)> fault)
{
    return [fault](const QString& line) -> QByteArray {
        if (!line.startsWith(u'<'))
            return promptOnly(line);
        return fault(line.toLatin1() + "\r\n");
    };
}

} // namespace

class LineTestsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        useGermanLocale();
        // Local time one hour off UTC, so that a packet with UTC in it shows.
        qputenv("TZ", "Europe/Berlin");
        tzset();
        const QDateTime noon(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC);
        QCOMPARE(noon.toLocalTime().time().hour(), 13);
    }

    void testOutputSendsNumberedLines()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        c.setPollingInterval(1.0);
        c.setTestInterval(0.01); // used as 0.05
        const qsizetype before = f.lines.written.size();
        const QDateTime start = f.clock->now();
        c.startTest();
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Testausgabe läuft: Zählerzeile, alle 0,01 s"));
        f.clock->advance(1.49); // packets at 0, 0.05, …, 1.45: thirty of them
        QCOMPARE(c.testSentCount(), 30);
        c.stopTest();
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Testausgabe gestoppt nach 30 Paketen"));
        f.clock->advance(1);
        QCOMPARE(c.testSentCount(), 30); // nothing after the stop

        // Every packet in order with CR LF, the local time in it, no poll mixed in.
        QByteArray expected;
        for (qint64 n = 1; n <= 30; ++n)
            expected += counterLine(n, start.addMSecs(50 * (n - 1)));
        QCOMPARE(f.lines.written.mid(before), expected);
        QCOMPARE(f.logTexts(Kind::tx).last(),
                 "Test #30: " + LogEntry::printable(counterLine(30, start.addMSecs(1450))));

        c.startTest(); // a second run goes on counting
        QCOMPARE(c.testSentCount(), 30);
        f.clock->settle();
        QCOMPARE(c.testSentCount(), 31);
        c.stopTest();
        c.stopTest(); // nothing runs: nothing logged
        QCOMPARE(f.logTexts(Kind::info).count("Testausgabe gestoppt nach 31 Paketen"), 1);
    }

    void testOutputWithoutLineOrBytes()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.startTest();
        c.sendTestOnce();
        QCOMPARE(f.logTexts(Kind::error), (QStringList{notConnected, notConnected}));
        QVERIFY(!c.testRunning());

        f.connectTo("/dev/ttyUSB0");
        c.setRawMode(true);
        c.setTestPattern(TestPattern::customHex);
        c.setTestCustomHex("48 6G");
        c.setTestInterval(0.05);
        const qint64 tx = c.txCount();
        c.startTest();
        f.clock->advance(0.1);
        QCOMPARE(f.logTexts(Kind::error).count(invalidHex), 3); // at 0, 0.05 and 0.1
        QVERIFY(c.testRunning());
        QCOMPARE(c.txCount(), tx);
    }

    // The loopback test stops the test output, switches raw mode on and judges packets
    // as soon as their echo is whole.
    void loopbackRun()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(echo([](QByteArray packet) { return packet; }));
        c.setTestInterval(60);
        c.startTest();
        c.startLoopback();
        QVERIFY(!c.testRunning());
        QVERIFY(c.rawMode());
        const QStringList info = f.logTexts(Kind::info);
        QVERIFY(info.indexOf("Testausgabe gestoppt nach 1 Paketen") <
                info.indexOf("Brückentest läuft: 32 Bytes je Paket, 19200 · 8N1. Erwartet: "
                             "jedes Byte kommt identisch zurück."));

        f.clock->advance(0.2 * 4); // packets at 0, 0.2, 0.4, 0.6 and 0.8
        QCOMPARE(c.loopback().sent, 5);
        QCOMPARE(c.loopback().ok, 5);
        QCOMPARE(c.loopback().lastLatency, std::optional(0.0)); // judged on arrival
        c.startLoopback(); // refused while it runs: no second chain, no fresh statistics
        f.clock->advance(0.2);
        QCOMPARE(c.loopback().sent, 6);
        QCOMPARE(f.lines.lines.count(QString::fromLatin1(LoopbackStats::packet(6, 32)).trimmed()),
                 1);
        c.stopLoopback();
        QCOMPARE(f.logTexts(Kind::info).last(), stopLine(c.loopback()));
        QCOMPARE(c.loopback().bytesSent, 6 * 32);
        QCOMPARE(c.loopback().bytesReceived, 6 * 32);
        QVERIFY(c.rawMode()); // stays on after the test
    }

    // A whole echo is judged on arrival, a missing one at the deadline, not a moment before.
    void loopbackVerdicts_data()
    {
        QTest::addColumn<bool>("echoed");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<double>("judgedAfter"); // seconds after the packet went out
        QTest::newRow("nothing back")
            << false << "nichts zurück – Brücke/Kabel/Adapter prüfen" << 0.3;
        QTest::newRow("one byte more") << true << "33 statt 32 Bytes zurück" << 0.0;
    }
    void loopbackVerdicts()
    {
        QFETCH(bool, echoed);
        QFETCH(QString, verdict);
        QFETCH(double, judgedAfter);
        ControllerFixture f;
        DisplayController& c = f.connected(
            echo([echoed](QByteArray packet) { return echoed ? packet + 'X' : QByteArray(); }));
        c.startLoopback();
        if (judgedAfter > 0) {
            f.clock->advance(judgedAfter - 0.001);
            QCOMPARE(c.loopback().sent, 0);
        }
        f.clock->advance(0.001);
        QCOMPARE(c.loopback().sent, 1);
        QCOMPARE(c.loopback().ok, 0);
        QVERIFY(!c.loopback().lastLatency);
        QCOMPARE(f.logTexts(Kind::error), QStringList{"Brückentest #1: " + verdict});
    }

    // A run stopped while a packet waits for the rest of its echo does not count it.
    void stoppingWhileAPacketWaits()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(echo([](QByteArray) { return QByteArray(); }));
        c.startLoopback();
        f.clock->advance(0.1);
        f.lines.receive(LoopbackStats::packet(1, 32).left(20));
        c.stopLoopback();
        QCOMPARE(c.loopback().sent, 0);
        QCOMPARE(c.loopback().bytesReceived, 20);
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        QCOMPARE(f.logTexts(Kind::info).last(), stopLine(c.loopback()));
    }
};

QTEST_GUILESS_MAIN(LineTestsTest)
#include "test_line_tests.moc"
