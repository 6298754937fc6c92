// Commands, replies, test output and the bridge-plug test on a fake line and a clock moved
// by hand; the reply rules themselves are checked on the plain state (test_display_values).
#include "ControllerFixture.h"

#include <QSignalSpy>
#include <ctime>

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

// A display that knows volume 40 and repeats what it is set to.
QByteArray volume40(const QString& line)
{
    if (line == u"get volume")
        return "\r\nvolume=40\r\n>";
    if (line.startsWith(u"set volume="))
        return "\r\n" + line.mid(4).toUtf8() + "\r\n>";
    return answerEverything(line);
}

// The packet as sent at `sent`, with its local time.
QByteArray counterLine(qint64 number, const QDateTime& sent)
{
    return "Bildwart Test #" + QByteArray::number(number).rightJustified(4, '0') +
           " | 19200 8N1 | " + sent.toLocalTime().toString("HH:mm:ss").toLatin1() + "\r\n";
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

class CommandsTest : public QObject {
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

    // The start-up queries one after the other; an RX model number names the series, once.
    void startupQueriesAndSeries()
    {
        ControllerFixture f;
        DisplayController& c = f.connected([](const QString& line) -> QByteArray {
            if (line == u"get modelnum")
                return "\r\nmodelnum=SBID-RX086\r\n>";
            return answerEverything(line);
        });
        QCOMPARE(f.lines.lines, startupLines);
        QCOMPARE(f.logTexts(Kind::tx).first(), QStringLiteral("(Zeilenende – Prompt anfordern)"));
        QCOMPARE(c.timeouts(), 0);
        QVERIFY(f.idle());
        QCOMPARE(c.series(), DisplaySeries::rx);
        QCOMPARE(c.display().modelNumber, QStringLiteral("SBID-RX086"));
        QCOMPARE(f.store.settings().value("displaySeries").toString(), QStringLiteral("RX"));

        // A prompt while nothing waits sends nothing, and the pump still works afterwards.
        f.lines.receive("\r\n>");
        f.clock->advance(1);
        QCOMPARE(f.lines.lines, startupLines);
        c.queryDeviceInfo();
        f.clock->advance(1);
        QCOMPARE(f.lines.lines.last(), QStringLiteral("get fwversion"));
        QCOMPARE(f.logTexts(Kind::info).count("Reihe automatisch erkannt: SMART RX"), 1);
    }

    // A silent display: each command waits its timeout, then the pause. A prompt that
    // comes after its command timed out wakes nothing; the next command goes out after
    // the prompt and the pause, not a moment before. Raw mode ends the wait at once.
    void timeoutsPromptPauseAndRawMode()
    {
        ControllerFixture f;
        SerialSettings settings;
        settings.responseTimeout = 1.5;
        settings.interCommandDelay = 0.05;
        f.make().setSettings(settings);
        DisplayController& c = f.connectTo("/dev/ttyUSB0");
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

        c.setRawMode(true);
        QVERIFY(!c.current());
        QVERIFY(c.queue().isEmpty());
        f.clock->advance(60);
        QCOMPARE(c.timeouts(), 2);
        QCOMPARE(f.lines.lines.size(), 4);
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

    // The poll's answer asked before a slider moved does not move it back; two seconds
    // later answers count again.
    void pollAnswerInsideTheHoldOffIsIgnored()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(volume40);
        QCOMPARE(c.display().volume, 40.0);
        c.setVolume(70.4);
        c.send("get volume");
        f.clock->advance(2);
        QCOMPARE(c.display().volume, 70.0);
        c.send("get volume");
        f.clock->settle();
        QCOMPARE(c.display().volume, 40.0);
    }

    void displayMessagesAndEvents()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        QSignalSpy events(&c, &DisplayController::displayEvent);
        QSignalSpy muted(&c, &DisplayController::muteChanged);
        c.setMute(false); // opens the hold-off: reports are applied anyway
        f.clock->settle();
        f.lines.receive("\r\n#mute=on\r\ninvalid cmd\r\nUnknown command\r\nhelp: get/set\r\n");
        QVERIFY(c.display().mute);
        QCOMPARE(muted.size(), 1);
        QCOMPARE(f.logTexts(Kind::error),
                 QStringList({"Display meldet: invalid cmd", "Display meldet: Unknown command"}));
        QCOMPARE(f.logTexts(Kind::async), QStringList{"Am Gerät geändert: mute=on"});
        QCOMPARE(events.size(), 1 + 4); // the prompt of "set mute=off", then the four lines
        QCOMPARE(events.last().at(0).value<SmartEvent>(), SmartEvent::makeText("help: get/set"));
        c.setRawMode(true); // parses nothing
        f.lines.receive("\r\nvolume=99\r\n>");
        QCOMPARE(c.display().volume, 30.0);
    }

    void actionsChangeTheLocalCopyAndQueueOneCommand()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        f.lines.display = {}; // silent: everything after the first command stays queued
        c.send("get help");
        f.clock->settle();
        f.lines.receive("\r\nvolume=98\r\nbrightness=3\r\npowerstate=on\r\n");

        struct Row {
            const char* name;
            std::function<void()> action;
            QString command;
            std::function<bool()> localCheck;
        };
        const DisplayState& d = c.display();
        const QList<Row> rows{
            {"power waits for the display", [&] { c.setPower(PowerState::standby); },
             "set powerstate=standby", [&] { return d.power == PowerState::on; }},
            {"input", [&] { c.setInput("hdmi2"); }, "set input=hdmi2",
             [&] { return d.input == "hdmi2"; }},
            {"volume step up at 98", [&] { c.stepVolume(5); }, "set volume+5",
             [&] { return d.volume == 100; }},
            {"volume rounds half up", [&] { c.setVolume(40.5); }, "set volume=41",
             [&] { return d.volume == 41; }},
            {"brightness step down at 3", [&] { c.stepBrightness(-5); }, "set brightness-5",
             [&] { return d.brightness == 0; }},
            {"mute", [&] { c.setMute(true); }, "set mute=on", [&] { return d.mute; }},
            {"shade", [&] { c.setScreenShade(false); }, "set screenshade=off",
             [&] { return !d.screenShade; }},
            {"custom trimmed", [&] { c.sendCustom("  get volume \r\n"); }, "get volume",
             [] { return true; }},
        };
        for (const Row& row : rows) {
            row.action();
            QVERIFY2(!c.queue().isEmpty() && c.queue().commands().last().text == row.command,
                     row.name);
            QVERIFY2(row.localCheck(), row.name);
        }
        // Two quick steps: one waiting command, the local value moved twice.
        c.setVolume(50);
        c.stepVolume(5);
        c.stepVolume(5);
        QCOMPARE(d.volume, 60.0);
        QCOMPARE(std::count_if(c.queue().commands().begin(), c.queue().commands().end(),
                               [](const SmartCommand& command) {
                                   return command.text.startsWith("set volume");
                               }),
                 1);
    }

    void factoryResetNeedsTheSerialNumber()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        f.connectTo("/dev/ttyUSB0"); // silent: the queue keeps what is sent
        const qsizetype queued = c.queue().size();
        c.factoryReset();
        QCOMPARE(c.queue().size(), queued);
        QCOMPARE(f.logTexts(Kind::error),
                 QStringList{"Werksreset braucht die Seriennummer – erst „Geräteinfo abfragen“."});
    }

    // Without a line an action only changes the local copy, and raw bytes and test output
    // are refused aloud; test output that makes no bytes sends nothing.
    void rawSendingAndTestOutputWithoutBytes()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.setMute(true);
        QVERIFY(c.display().mute);
        QVERIFY(c.queue().isEmpty());
        QVERIFY(c.log().isEmpty());
        c.sendRaw("x");
        c.setRawMode(true);
        c.sendCustom("abc");
        c.startTest();
        c.sendTestOnce();
        const QString notConnected =
            QStringLiteral("Erst verbinden – Testbytes gehen auf die gewählte Schnittstelle.");
        QCOMPARE(f.logTexts(Kind::error),
                 QStringList({"Nicht verbunden.", "Nicht verbunden.", notConnected, notConnected}));
        QCOMPARE(c.txCount(), 0);
        QVERIFY(!c.testRunning());

        f.connectTo("/dev/ttyUSB0");
        const qint64 tx = c.txCount();
        f.lines.written.clear();

        c.sendCustom("  get volume \r\n");
        QCOMPARE(f.lines.written, QByteArray("  get volume \r\n\r"));
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("  get volume \r\n"));
        QCOMPARE(c.txCount(), tx + 16);

        c.sendHex("0x48,0x61");
        QVERIFY(f.lines.written.endsWith("Ha"));
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("Ha"));

        c.sendHex("4G");
        QCOMPARE(f.logTexts(Kind::error).last(), QStringLiteral("Ungültige Hex-Eingabe: 4G"));

        c.sendRaw({});
        QCOMPARE(c.txCount(), tx + 18);
        QCOMPARE(f.logTexts(Kind::tx).last(), QString());

        c.setTestPattern(TestPattern::customHex);
        c.setTestCustomHex("48 6G");
        c.setTestInterval(0.05);
        c.startTest();
        f.clock->advance(0.1);
        QCOMPARE(f.logTexts(Kind::error).count("Ungültige Hex-Eingabe."), 3); // 0, 0.05, 0.1
        QVERIFY(c.testRunning());
        QCOMPARE(c.txCount(), tx + 18);
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

    // The loopback test stops the test output, switches raw mode on and judges packets
    // as soon as their echo is whole; stopped while a packet waits for the rest of its
    // echo, it does not count that one.
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
        f.lines.display = echo([](QByteArray packet) { return packet.left(20); });
        f.clock->advance(0.2);
        c.stopLoopback();
        QCOMPARE(c.loopback().sent, 6);
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        QCOMPARE(f.logTexts(Kind::info).last(), "Brückentest beendet: " + c.loopback().summary());
        QCOMPARE(c.loopback().bytesSent, 7 * 32);
        QCOMPARE(c.loopback().bytesReceived, 6 * 32 + 20);
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
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "test_commands.moc"
