// What the display sends and what the user asks for, through the controller: the reply
// rules themselves are checked on the plain state (test_display_values).
#include "ControllerFixture.h"

#include <QSignalSpy>

namespace {

// A display that knows volume 40 and repeats what it is set to.
QByteArray volume40(const QString& line)
{
    if (line == u"get volume")
        return "\r\nvolume=40\r\n>";
    if (line.startsWith(u"set volume="))
        return "\r\n" + line.mid(4).toUtf8() + "\r\n>";
    return answerEverything(line);
}

} // namespace

class RepliesActionsTest : public QObject {
    Q_OBJECT

private slots:
    // The poll's answer asked before a slider moved does not move it back; two seconds
    // later answers count again.
    void pollAnswerInsideTheHoldOffIsIgnored()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(volume40);
        QCOMPARE(c.display().volume, 40.0);
        c.setVolume(70.4);
        QCOMPARE(c.display().volume, 70.0); // at once, before any answer
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

        // Raw mode logs what comes, but parses nothing.
        c.setRawMode(true);
        const qint64 before = c.rxCount();
        f.lines.receive("\r\nvolume=99\r\n>");
        QCOMPARE(c.rxCount(), before + 14);
        QCOMPARE(c.display().volume, 30.0);
        QCOMPARE(events.size(), 5);
    }

    void seriesIsRecognisedOnce()
    {
        ControllerFixture f;
        DisplayController& c = f.connected([](const QString& line) -> QByteArray {
            if (line == u"get modelnum")
                return "\r\nmodelnum=SBID-RX086\r\n>";
            return answerEverything(line);
        });
        QCOMPARE(c.series(), DisplaySeries::rx);
        QCOMPARE(c.display().modelNumber, QStringLiteral("SBID-RX086"));
        QCOMPARE(f.store.settings().value("displaySeries").toString(), QStringLiteral("RX"));
        c.queryDeviceInfo();
        f.clock->advance(1);
        QCOMPARE(f.logTexts(Kind::info).count("Reihe automatisch erkannt: SMART RX"), 1);
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
        f.lines.receive("\r\nserialnum=SIM0000001\r\n");
        c.factoryReset();
        QCOMPARE(c.queue().commands().last().text, QStringLiteral("set factoryreset=SIM0000001"));
    }

    void rawSending()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        c.setRawMode(true);
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
    }

    void withoutLine()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        // An action only changes the local copy.
        c.setMute(true);
        QVERIFY(c.display().mute);
        QVERIFY(c.queue().isEmpty());
        QVERIFY(c.log().isEmpty());
        // Raw bytes are refused aloud.
        c.sendRaw("x");
        c.setRawMode(true);
        c.sendCustom("abc");
        QCOMPARE(f.logTexts(Kind::error), QStringList({"Nicht verbunden.", "Nicht verbunden."}));
        QCOMPARE(c.txCount(), 0);
    }
};

QTEST_GUILESS_MAIN(RepliesActionsTest)
#include "test_replies_actions.moc"
