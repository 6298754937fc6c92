// The prompt handshake, timeouts, raw mode and the poll, on a fake line and a clock moved
// by hand: every step in time is exact, and nothing waits.
#include "ControllerFixture.h"

namespace {

const QString advice =
    QStringLiteral(" s – Kabel (kein Nullmodem!), Baudrate, Raumsteuerung prüfen.");

// "get name" for each of the names, in order.
QStringList queries(const QString& names)
{
    QStringList lines = names.split(u' ');
    for (QString& line : lines)
        line.prepend(u"get ");
    return lines;
}

const QStringList startupLines =
    QStringList{""} + queries("modelnum serialnum partnum fwversion powerstate input volume mute "
                              "micmute brightness videofreeze screenshade statereporting");

// A fresh controller on a silent display, with these timings, its first command out.
DisplayController& silent(ControllerFixture& f, double timeout, double pause)
{
    SerialSettings settings;
    settings.responseTimeout = timeout;
    settings.interCommandDelay = pause;
    f.make().setSettings(settings);
    return f.connectTo("/dev/ttyUSB0");
}

} // namespace

class CommandQueueTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useGermanLocale(); }

    void startupQueriesOneAfterTheOther()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        QCOMPARE(f.lines.lines, startupLines);
        QCOMPARE(f.logTexts(Kind::tx).first(), QStringLiteral("(Zeilenende – Prompt anfordern)"));
        QCOMPARE(c.timeouts(), 0);
        QCOMPARE(c.display().volume, 30.0);
        QVERIFY(f.idle());

        // A prompt while nothing waits sends nothing, and the pump still works afterwards.
        f.lines.receive("\r\n>");
        f.clock->advance(1);
        QCOMPARE(f.lines.lines, startupLines);
        c.send("get mute");
        f.clock->settle();
        QCOMPARE(f.lines.lines.last(), QStringLiteral("get mute"));
    }

    // A silent display: each command waits its timeout, then the pause. A prompt that
    // comes after its command timed out wakes nothing; the next command goes out after
    // the prompt and the pause, not a moment before.
    void timeoutsPromptAndPause()
    {
        ControllerFixture f;
        DisplayController& c = silent(f, 1.5, 0.05);
        QCOMPARE(f.lines.lines, QStringList{""});
        f.clock->advance(1.499);
        QCOMPARE(c.timeouts(), 0);
        f.clock->advance(0.001);
        QCOMPARE(c.timeouts(), 1);
        QCOMPARE(f.logTexts(Kind::error), QStringList{"Keine Antwort auf „⏎“ nach 1,5" + advice});
        QCOMPARE(f.lines.lines.size(), 1);
        f.clock->advance(0.05);
        QCOMPARE(f.lines.lines.size(), 2);
        f.clock->advance(1.5);
        QCOMPARE(f.logTexts(Kind::error).last(),
                 "Keine Antwort auf „get modelnum“ nach 1,5" + advice);
        QVERIFY(c.connection().is(ConnectionState::Case::connected));
        QVERIFY(!c.displayResponding());
        f.lines.receive(">");
        f.clock->settle();
        QCOMPARE(f.lines.lines.size(), 2);

        f.clock->advance(0.05);
        QCOMPARE(f.lines.lines.size(), 3);
        f.lines.receive("\r\n>");
        f.clock->advance(0.049);
        QCOMPARE(f.lines.lines.size(), 3);
        f.clock->advance(0.001);
        QCOMPARE(f.lines.lines.size(), 4);
        QCOMPARE(c.current()->text, QStringLiteral("get partnum"));
    }

    void rawModeEndsTheWaitAtOnce()
    {
        ControllerFixture f;
        DisplayController& c = silent(f, 30, 0.05);
        QVERIFY(c.current().has_value());
        c.setRawMode(true);
        QVERIFY(!c.current());
        QVERIFY(c.queue().isEmpty());
        f.clock->advance(60);
        QCOMPARE(c.timeouts(), 0);
        QCOMPARE(f.lines.lines.size(), 1);
        c.send("get volume"); // dropped in raw mode
        QVERIFY(c.queue().isEmpty());
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine "
                                "SMART-Abfragen"));
        c.setRawMode(true); // no change, no entry
        c.setRawMode(false);
        QCOMPARE(f.logTexts(Kind::info).last(),
                 QStringLiteral("SMART-Modus: Befehle warten auf den Prompt „>“"));
    }

    // Every interval (never more often than once a second) the five values, while the
    // line is idle and nothing else has the line.
    void pollAsksWhenIdle_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<bool>("polled");
        QTest::newRow("idle") << "" << true;
        QTest::newRow("polling off") << "off" << false;
        QTest::newRow("line busy") << "busy" << false;
        QTest::newRow("raw mode") << "raw" << false;
        QTest::newRow("test output") << "test" << false;
    }
    void pollAsksWhenIdle()
    {
        QFETCH(QString, obstacle);
        QFETCH(bool, polled);
        ControllerFixture f;
        DisplayController& c = f.connected();
        c.setPollingInterval(0.2);
        f.clock->advance(4.5); // the first round, at the old interval, at 5 s
        const qsizetype before = f.lines.lines.size();
        if (obstacle == u"off")
            c.setPollingEnabled(false);
        if (obstacle == u"busy") {
            f.lines.display = {}; // the next command stays on the line
            c.send("get help");
        }
        if (obstacle == u"raw")
            c.setRawMode(true);
        if (obstacle == u"test") {
            c.setTestInterval(60);
            c.startTest();
        }
        f.clock->advance(0.499);
        QVERIFY(!f.lines.lines.mid(before).contains("get powerstate"));
        f.clock->advance(0.001); // the next round: a second after the last
        QCOMPARE(f.lines.lines.mid(before).contains("get powerstate"), polled);
        if (polled) {
            f.clock->advance(0.5);
            QCOMPARE(f.lines.lines.mid(before), queries("powerstate input volume mute brightness"));
            // Polls and their answers are marked, so the terminal can hide them.
            const LogEntry& last = c.log().last();
            QVERIFY(last.poll && last.kind == Kind::rx);
        }
    }

    // Reconfiguring flushes the line; only a change of the line itself does it.
    void settingsReachTheOpenLineOnlyWhenTheLineChanges()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        SerialSettings settings = c.settings();
        settings.responseTimeout = 3;
        settings.interCommandDelay = 0.2;
        settings.lineEnding = SerialSettings::LineEnding::crlf;
        c.setSettings(settings);
        QCOMPARE(f.lines.applied, 0);
        settings.stopBits = SerialSettings::StopBits::two;
        c.setSettings(settings);
        QCOMPARE(f.lines.applied, 1);
        settings.assertDTR = false;
        c.setSettings(settings);
        c.setSettings(settings); // equal: nothing at all
        QCOMPARE(f.lines.applied, 2);
    }

    void writeErrors_data()
    {
        QTest::addColumn<int>("errnum");
        QTest::addColumn<bool>("deviceGone");
        QTest::newRow("EIO") << EIO << true;
        QTest::newRow("ENXIO") << ENXIO << true;
        QTest::newRow("EAGAIN") << EAGAIN << false;
    }
    void writeErrors()
    {
        QFETCH(int, errnum);
        QFETCH(bool, deviceGone);
        ControllerFixture f;
        DisplayController& c = f.connected();
        c.setAutoReconnect(false);
        const qint64 tx = c.txCount();
        f.lines.writeFailure = SerialPortError::writeFailed(errnum);
        c.send("get volume");
        f.clock->settle();
        QCOMPARE(c.txCount(), tx); // a failed write is neither counted nor logged as sent
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("get statereporting"));
        if (deviceGone) {
            QCOMPARE(f.logTexts(Kind::error),
                     QStringList{"Verbindung zum Wandler abgerissen: " + systemText(errnum)});
            QCOMPARE(c.connection(), ConnectionState::failed("Schnittstelle getrennt"));
            QCOMPARE(c.dropouts().size(), 1);
        } else {
            QCOMPARE(f.logTexts(Kind::error),
                     QStringList{"Senden fehlgeschlagen: " + systemText(errnum)});
            QCOMPARE(c.connection(), ConnectionState::connected());
            f.lines.writeFailure.reset();
            c.send("get mute"); // the pump goes on
            f.clock->advance(0.1);
            QCOMPARE(f.lines.lines.last(), QStringLiteral("get mute"));
        }
    }
};

QTEST_GUILESS_MAIN(CommandQueueTest)
#include "test_command_queue.moc"
