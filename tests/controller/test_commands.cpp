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

        // A prompt while nothing waits sends nothing, and the pump still works afterwards.
        f.lines.receive("\r\n>");
        f.clock->advance(1);
        QCOMPARE(f.lines.lines, startupLines);
        c.pump().queryDeviceInfo();
        f.clock->advance(1);
        QCOMPARE(f.lines.lines.last(), QStringLiteral("get fwversion"));
        QCOMPARE(f.logTexts(Kind::info).count("Reihe automatisch erkannt: SMART RX"), 1);
    }

    // Once a display has answered on the line, a query without an answer drops nothing: the
    // display may just be busy for a moment.
    void aHeardDisplayKeepsItsQueries()
    {
        ControllerFixture f;
        bool silent = false;
        f.connected(
            [&](const QString& line) { return silent ? QByteArray() : answerEverything(line); });
        silent = true;
        f.controller->pump().refreshAll();
        f.clock->advance(1.6);
        QCOMPARE(f.controller->log().counters().timeouts, 1);
        QVERIFY(f.controller->pump().queue().size() > 5);
        QVERIFY(!f.logTexts(Kind::info).join(u'\n').contains("Kein Display antwortet"));
    }

    // A silent display (standard line: 1.5 s timeout, 0.05 s pause): each command waits its
    // timeout, then the pause; a late prompt wakes nothing. Raw mode ends the wait at once.
    void timeoutsPromptPauseAndRawMode()
    {
        ControllerFixture f;
        f.make();
        DisplayController& c = f.connectTo("/dev/ttyUSB0");
        QCOMPARE(f.lines.lines, QStringList{""});
        f.clock->advance(1.499);
        QCOMPARE(c.log().counters().timeouts, 0);
        f.clock->advance(0.001);
        QCOMPARE(c.log().counters().timeouts, 1);
        QCOMPARE(f.logTexts(Kind::error), QStringList{"Keine Antwort auf „⏎“ nach 1,5" + advice});
        // Nobody answered yet: the rest of the start-up queries would each wait as long, and
        // the user's commands behind them; they are dropped until the next round.
        QVERIFY(c.pump().queue().isEmpty());
        QVERIFY(f.logTexts(Kind::info).last().startsWith("Kein Display antwortet – "));
        for (const char* query : {"get modelnum", "get serialnum", "get partnum"})
            c.pump().send(QString::fromUtf8(query));
        QCOMPARE(f.lines.lines.size(), 1);
        f.clock->advance(0.05);
        QCOMPARE(f.lines.lines.size(), 2);
        f.clock->advance(1.5);
        QCOMPARE(f.logTexts(Kind::error).last(),
                 "Keine Antwort auf „get modelnum“ nach 1,5" + advice);
        QVERIFY(c.line().connection().is(ConnectionState::Case::connected));
        QVERIFY(!c.line().hearsBytes());
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
        QCOMPARE(c.pump().current()->text, QStringLiteral("get partnum"));

        c.pump().setRawMode(true);
        QVERIFY(!c.pump().current());
        QVERIFY(c.pump().queue().isEmpty());
        f.clock->advance(60);
        QCOMPARE(c.log().counters().timeouts, 2);
        QCOMPARE(f.lines.lines.size(), 4);
        c.pump().send("get volume"); // dropped in raw mode
        QVERIFY(c.pump().queue().isEmpty());
        QCOMPARE(f.logTexts(Kind::info).last(),
                 "Rohdaten-Modus: Eingaben gehen ungefiltert hinaus, keine SMART-Abfragen");
        c.pump().setRawMode(false);
        QCOMPARE(f.logTexts(Kind::info).last(), "SMART-Modus: Befehle warten auf den Prompt „>“");

        // Nothing told, so no serial number: a factory reset is refused aloud.
        const qsizetype queued = c.pump().queue().size();
        c.display().factoryReset();
        QCOMPARE(c.pump().queue().size(), queued);
        QCOMPARE(f.logTexts(Kind::error).last(),
                 "Werksreset braucht die Seriennummer – erst „Geräteinfo abfragen“.");
    }

    // A slow display's late prompt ends nothing but what it belongs to; the next command
    // waits for a fresh prompt, and its own answer is its own.
    void latePromptEndsNoOtherCommand()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        f.setPolling(false, 5);
        f.lines.display = {}; // answers come by hand now
        c.pump().send("get volume");
        const quint64 mute = c.pump().send("get mute");
        QList<CommandResult> results;
        QObject::connect(&c.pump(), &CommandPump::finished,
                         [&](const CommandResult& result) { results.append(result); });
        f.clock->advance(1.6); // "get volume" timed out; the prompt request is on the line
        QCOMPARE(f.lines.lines.mid(f.lines.lines.size() - 2), QStringList({"get volume", ""}));
        f.lines.receive("\r\nvolume=30\r\n>"); // the late answer: settles "get volume"
        f.clock->advance(0.1);
        QCOMPARE(c.pump().current()->text, QString()); // the prompt request still waits
        f.lines.receive("\r\n>");                      // its own prompt
        f.clock->advance(0.1);
        QCOMPARE(c.pump().current()->text, QStringLiteral("get mute"));
        f.lines.receive("\r\nmute=on\r\n>");
        f.clock->settle();
        QCOMPARE(results.last().command.ticket, mute);
        QCOMPARE(results.last().outcome, CommandResult::Outcome::answered);
        QCOMPARE(results.last().events, QList<SmartEvent>{SmartEvent::makeValue("mute", "on")});
        QCOMPARE(c.log().counters().timeouts, 1);
    }

    // Without a pause between commands, one queued while a reply is read goes out after the
    // rest of that read: what followed the prompt in the same chunk answers nobody.
    void aReadEndsBeforeTheNextCommand()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        f.setPolling(false, 5);
        SerialSettings settings = c.line().settings();
        settings.interCommandDelay = 0;
        c.line().setSettings(settings);
        f.lines.display = {};
        const quint64 volume = c.pump().send("get volume");
        quint64 brightness = 0;
        QList<CommandResult> results;
        QObject::connect(&c.pump(), &CommandPump::finished, [&](const CommandResult& result) {
            results.append(result);
            if (result.command.ticket == volume)
                brightness = c.pump().send("get brightness");
        });
        f.lines.receive("\r\nvolume=30\r\n>\r\nbrightness=50\r\n");
        QCOMPARE(f.lines.lines.last(), QStringLiteral("get brightness"));
        f.lines.receive(">");
        QCOMPARE(results.size(), 2);
        QCOMPARE(results.last().command.ticket, brightness);
        QCOMPARE(results.last().events, QList<SmartEvent>());
    }

    // Every interval (at least a second) the five values, while nothing else has the line.
    void pollAsksWhenIdle()
    {
        for (const QString obstacle : {"", "off", "busy", "raw", "test", "standby"}) {
            const bool polled = obstacle.isEmpty();
            ControllerFixture f;
            DisplayController& c = f.connected();
            f.setPolling(true, 0.2);
            f.clock->advance(4.5); // the first round, at the old interval, at 5 s
            const qsizetype before = f.lines.lines.size();
            if (obstacle == u"off")
                f.setPolling(false, c.pump().polling().interval);
            if (obstacle == u"busy") {
                f.lines.display = {}; // the next command stays on the line
                c.pump().send("get help");
            }
            if (obstacle == u"raw")
                c.pump().setRawMode(true);
            if (obstacle == u"test") {
                f.setTestInterval(60);
                c.tester().startTest();
            }
            // Every command wakes a display from network standby: asked once a minute.
            if (obstacle == u"standby")
                f.lines.receive("\r\npowerstate=standby\r\n");
            f.clock->advance(0.499);
            QVERIFY(!f.lines.lines.mid(before).contains("get powerstate"));
            f.clock->advance(0.001); // the next round: a second after the last
            QCOMPARE(f.lines.lines.mid(before).contains("get powerstate"), polled);
            if (obstacle == u"standby") { // a minute after the report, at 4.5 s
                f.clock->advance(CommandPump::restingPollSeconds - 0.6);
                QVERIFY(!f.lines.lines.mid(before).contains("get powerstate"));
                f.clock->advance(0.2);
                QVERIFY(f.lines.lines.mid(before).contains("get powerstate"));
            }
            if (polled) {
                f.clock->advance(0.5);
                QCOMPARE(f.lines.lines.mid(before),
                         queries("powerstate input volume mute brightness"));
            }
        }
    }

    // Reconfiguring flushes the line; only a change of the line itself does it.
    void settingsReachTheOpenLineOnlyWhenTheLineChanges()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        SerialSettings settings = c.line().settings();
        settings.responseTimeout = 3;
        settings.interCommandDelay = 0.2;
        settings.lineEnding = SerialSettings::LineEnding::crlf;
        c.line().setSettings(settings);
        QCOMPARE(f.lines.applied, 0);
        settings.stopBits = SerialSettings::StopBits::two;
        c.line().setSettings(settings);
        QCOMPARE(f.lines.applied, 1);
        settings.assertDTR = false;
        c.line().setSettings(settings);
        c.line().setSettings(settings); // equal: nothing at all
        QCOMPARE(f.lines.applied, 2);
    }

    void writeErrors()
    {
        for (const int errnum : {EIO, ENXIO, EAGAIN}) {
            const bool deviceGone = errnum != EAGAIN;
            ControllerFixture f;
            DisplayController& c = f.connected();
            c.line().setAutoReconnect(false);
            const qint64 tx = c.log().counters().tx;
            f.lines.writeFailure = LineError::ioFailed("/dev/ttyUSB0", errnum);
            c.pump().send("get volume");
            f.clock->settle();
            // A failed write is neither counted nor logged as sent.
            QCOMPARE(c.log().counters().tx, tx);
            QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("get statereporting"));
            if (deviceGone) {
                // The loss itself: test_connection.
                QCOMPARE(f.logTexts(Kind::error),
                         QStringList{"Verbindung zum Wandler abgerissen: " + systemText(errnum)});
            } else {
                QCOMPARE(
                    f.logTexts(Kind::error),
                    QStringList{"Senden an /dev/ttyUSB0 fehlgeschlagen: " + systemText(errnum)});
                QCOMPARE(c.line().connection(), ConnectionState::connected());
                f.lines.writeFailure.reset();
                c.pump().send("get mute"); // the pump goes on
                f.clock->advance(0.1);
                QCOMPARE(f.lines.lines.last(), QStringLiteral("get mute"));
            }
        }
    }

    // A poll asked before a slider moved does not move it back; after two seconds answers count.
    void pollAnswerInsideTheHoldOffIsIgnored()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        c.pump().send("get volume"); // asked before the slider moves, answered with 30
        c.display().setLevel(DisplaySetting::volume, 70.4);
        f.clock->advance(1.9);
        QCOMPARE(f.display().level(DisplaySetting::volume), std::optional(70.0));
        f.clock->advance(0.1);
        c.pump().send("get volume");
        f.clock->settle();
        QCOMPARE(f.display().level(DisplaySetting::volume), std::optional(30.0));
    }

    void displayMessagesAndEvents()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        QSignalSpy events(&c.pump(), &CommandPump::event);
        c.display().setSwitch(DisplaySetting::mute, false); // opens the hold-off
        f.clock->advance(0.1);
        QSignalSpy changed(&c.display(), &RemoteDisplay::changed);
        // Reports are applied inside the hold-off too.
        f.lines.receive("\r\n#mute=on\r\ninvalid cmd\r\nUnknown command\r\nhelp: get/set\r\n");
        QCOMPARE(f.display().toggle(DisplaySetting::mute), std::optional(true));
        QCOMPARE(f.display().knowledge(DisplaySetting::mute).source, ValueSource::report);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).value<QList<DisplaySetting>>(),
                 QList<DisplaySetting>{DisplaySetting::mute});
        QCOMPARE(f.logTexts(Kind::error),
                 QStringList({"Display meldet: invalid cmd", "Display meldet: Unknown command"}));
        QCOMPARE(f.logTexts(Kind::async), QStringList{"Am Gerät geändert: mute=on"});
        QCOMPARE(events.size(), 2 + 4); // "set mute=off"'s answer and prompt, the four lines
        QCOMPARE(events.last().at(0).value<SmartEvent>(), SmartEvent::makeText("help: get/set"));
        c.pump().setRawMode(true); // parses nothing
        f.lines.receive("\r\nvolume=99\r\n>");
        QCOMPARE(f.display().level(DisplaySetting::volume), std::optional(30.0));
    }

    void actionsChangeTheLocalCopyAndQueueOneCommand()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        f.lines.display = {}; // silent: everything after the first command stays queued
        c.pump().send("get help");
        f.clock->settle();
        f.lines.receive("\r\nvolume=98\r\nbrightness=3\r\npowerstate=on\r\n");

        const DisplayState& d = f.display();
        using S = DisplaySetting;
        const auto level = [&](S setting) { return d.level(setting).value_or(-1); };
        const auto queued = [&](const std::function<void()>& action) {
            action();
            return c.pump().queue().isEmpty() ? QString() : c.pump().queue().commands().last().text;
        };
        QCOMPARE(queued([&] { c.display().setPower(PowerState::standby); }),
                 "set powerstate=standby");
        QCOMPARE(d.power(), std::optional(PowerState::on)); // power waits for the display
        QCOMPARE(queued([&] { c.display().setInput("HDMI2"); }), "set input=HDMI2");
        QCOMPARE(d.input(), std::optional<QString>("hdmi2"));
        QCOMPARE(queued([&] { c.display().stepLevel(S::volume, 5); }), "set volume+5");
        QCOMPARE(level(S::volume), 100.0); // from 98
        QCOMPARE(queued([&] { c.display().setLevel(S::volume, 40.5); }), "set volume=41");
        QCOMPARE(level(S::volume), 41.0);
        QCOMPARE(queued([&] { c.display().stepLevel(S::brightness, -5); }), "set brightness-5");
        QCOMPARE(level(S::brightness), 0.0); // from 3
        QCOMPARE(queued([&] { c.display().setSwitch(S::screenShade, false); }),
                 "set screenshade=off");
        QCOMPARE(d.toggle(S::screenShade), std::optional(false));
        QCOMPARE(queued([&] { c.pump().sendCustom("  get volume \r\n"); }), "get volume");

        // Two quick steps: the waiting command replaced, the local value moved twice.
        const qsizetype waiting = c.pump().queue().size();
        c.display().setLevel(DisplaySetting::volume, 50);
        c.display().stepLevel(DisplaySetting::volume, 5);
        c.display().stepLevel(DisplaySetting::volume, 5);
        QCOMPARE(level(S::volume), 60.0);
        QCOMPARE(c.pump().queue().size(), waiting);
        // Shown while under way, but not what the display told.
        QCOMPARE(d.knowledge(S::volume).value, std::optional<QString>("98"));
        QCOMPARE(d.knowledge(S::volume).pending, 1);
    }

    // Without a line an action changes nothing, and raw bytes and test output are refused
    // aloud; test output that makes no bytes sends nothing.
    void rawSendingAndTestOutputWithoutBytes()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.display().setSwitch(DisplaySetting::mute, true);
        QCOMPARE(f.display(), DisplayState());
        QVERIFY(c.pump().queue().isEmpty());
        QVERIFY(c.log().entries().isEmpty());
        c.pump().sendRaw("x");
        c.pump().setRawMode(true);
        c.pump().sendCustom("abc");
        c.tester().startTest();
        c.tester().sendTestOnce();
        const QString notConnected =
            QStringLiteral("Erst verbinden – Testbytes gehen auf die gewählte Schnittstelle.");
        QCOMPARE(f.logTexts(Kind::error),
                 QStringList({"Nicht verbunden.", "Nicht verbunden.", notConnected, notConnected}));
        QCOMPARE(c.log().counters().tx, 0);
        QVERIFY(!c.tester().testRunning());

        f.connectTo("/dev/ttyUSB0");
        const qint64 tx = c.log().counters().tx;
        f.lines.written.clear();

        c.pump().sendCustom("  get volume \r\n");
        QCOMPARE(f.lines.written, QByteArray("  get volume \r\n\r"));
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("  get volume \r\n"));
        QCOMPARE(c.log().counters().tx, tx + 16);

        c.pump().sendHex("0x48,0x61");
        QVERIFY(f.lines.written.endsWith("Ha"));
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("Ha"));

        c.pump().sendHex("4G");
        QCOMPARE(f.logTexts(Kind::error).last(), QStringLiteral("Ungültige Hex-Eingabe: 4G"));

        c.pump().sendRaw({});
        QCOMPARE(c.log().counters().tx, tx + 18);
        QCOMPARE(f.logTexts(Kind::tx).last(), QString());

        f.changeTestOutput([&](LineTester::TestOutput& o) { o.pattern = TestPattern::customHex; });
        f.changeTestOutput([&](LineTester::TestOutput& o) { o.customHex = "48 6G"; });
        f.setTestInterval(0.05);
        c.tester().startTest();
        f.clock->advance(0.1);
        QCOMPARE(f.logTexts(Kind::error).count("Ungültige Hex-Eingabe."), 3); // 0, 0.05, 0.1
        QVERIFY(c.tester().testRunning());
        QCOMPARE(c.log().counters().tx, tx + 18);
    }

    void testOutputSendsNumberedLines()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        f.setPolling(true, 1.0);
        f.setTestInterval(0.01); // used as 0.05
        const qsizetype before = f.lines.written.size();
        const QDateTime start = f.clock->now();
        c.tester().startTest();
        QCOMPARE(f.logTexts(Kind::info).last(), "Testausgabe läuft: Zählerzeile, alle 0,01 s");
        f.clock->advance(1.49); // packets at 0, 0.05, …, 1.45: thirty of them
        QCOMPARE(c.tester().testSentCount(), 30);
        c.tester().stopTest();
        QCOMPARE(f.logTexts(Kind::info).last(), "Testausgabe gestoppt nach 30 Paketen");
        f.clock->advance(1);
        QCOMPARE(c.tester().testSentCount(), 30); // nothing after the stop

        // Every packet in order with CR LF, the local time in it, no poll mixed in.
        QByteArray expected;
        for (qint64 n = 1; n <= 30; ++n)
            expected += counterLine(n, start.addMSecs(50 * (n - 1)));
        QCOMPARE(f.lines.written.mid(before), expected);
        QCOMPARE(f.logTexts(Kind::tx).last(),
                 "Test #30: " + LogEntry::printable(counterLine(30, start.addMSecs(1450))));

        c.tester().startTest(); // a second run goes on counting
        QCOMPARE(c.tester().testSentCount(), 30);
        f.clock->settle();
        QCOMPARE(c.tester().testSentCount(), 31);
        c.tester().stopTest();
        c.tester().stopTest(); // nothing runs: nothing logged
        QCOMPARE(f.logTexts(Kind::info).count("Testausgabe gestoppt nach 31 Paketen"), 1);
    }

    // The loopback test stops the test output, switches raw mode on and judges an echo once
    // it is whole; stopped while one waits for its rest, it does not count that packet.
    void loopbackRun()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(echo([](QByteArray packet) { return packet; }));
        f.setTestInterval(60);
        c.tester().startTest();
        c.tester().startLoopback();
        QVERIFY(!c.tester().testRunning());
        QVERIFY(c.pump().rawMode());
        const QStringList info = f.logTexts(Kind::info);
        QVERIFY(info.indexOf("Testausgabe gestoppt nach 1 Paketen") <
                info.indexOf("Brückentest läuft: 32 Bytes je Paket, 19200 · 8N1. Erwartet: "
                             "jedes Byte kommt identisch zurück."));

        f.clock->advance(0.2 * 4); // packets at 0, 0.2, 0.4, 0.6 and 0.8
        QCOMPARE(c.tester().loopback().sent, 5);
        QCOMPARE(c.tester().loopback().ok, 5);
        QCOMPARE(c.tester().loopback().lastLatency, std::optional(0.0)); // judged on arrival
        c.tester().startLoopback(); // refused while it runs: no second chain, no fresh statistics
        f.clock->advance(0.2);
        QCOMPARE(c.tester().loopback().sent, 6);
        QCOMPARE(f.lines.lines.count(QString::fromLatin1(LoopbackStats::packet(6, 32)).trimmed()),
                 1);
        f.lines.display = echo([](QByteArray packet) { return packet.left(20); });
        f.clock->advance(0.2);
        c.tester().stopLoopback();
        QCOMPARE(c.tester().loopback().sent, 6);
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        QVERIFY(f.logTexts(Kind::info)
                    .contains("Brückentest beendet: " + c.tester().loopback().summary()));
        QCOMPARE(c.tester().loopback().bytesSent, 7 * 32);
        QCOMPARE(c.tester().loopback().bytesReceived, 6 * 32 + 20);
        QVERIFY(!c.pump().rawMode()); // the mode the user had comes back
        // The line sends back what it is given, until it closes.
        QVERIFY(c.tester().lineEchoes());
        c.disconnectLine();
        QVERIFY(!c.tester().lineEchoes());
    }

    // A whole echo is judged on arrival, a missing one at the deadline, not a moment before;
    // a display's refusal at once, ending the run with what it means.
    void loopbackVerdicts()
    {
        const std::tuple<QByteArray, double, QString, bool> rows[] = {
            // what comes back (%1 the packet), judged after, verdict, still running
            {"", 0.3, "nichts zurück – Brücke/Kabel/Adapter prüfen", true},
            {"%1X", 0.0, "33 statt 32 Bytes zurück", true},
            {"\r\ninvalid cmd\r\n>", 0.0, "Display angeschlossen, kein Brückenstecker", false},
        };
        for (const auto& [reply, judgedAfter, verdict, running] : rows) {
            ControllerFixture f;
            DisplayController& c = f.connected(echo([reply](const QByteArray& packet) {
                return QByteArray(reply).replace("%1", packet);
            }));
            c.tester().startLoopback();
            if (judgedAfter > 0) {
                f.clock->advance(judgedAfter - 0.001);
                QCOMPARE(c.tester().loopback().sent, 0);
            }
            f.clock->advance(0.001);
            QCOMPARE(c.tester().loopback().sent, 1);
            QCOMPARE(c.tester().loopback().ok, 0);
            QVERIFY(!c.tester().loopback().lastLatency);
            QCOMPARE(f.logTexts(Kind::error), QStringList{"Brückentest #1: " + verdict});
            QCOMPARE(c.tester().loopbackRunning(), running);
        }
    }
};

QTEST_GUILESS_MAIN(CommandsTest)
#include "test_commands.moc"
