// What the program claims to know of the display, end to end on fake lines: only what a
// display told on this line is live; an echo is no display; a failed command returns
// the picture to the truth; where nothing can be sent, nothing changes.
#include "ControllerFixture.h"

#include <QSignalSpy>

namespace {

using S = DisplaySetting;
using Standing = DisplayState::Standing;

const QString adapter = QStringLiteral("/dev/ttyUSB0");

// A bridge plug: every line comes back as it went out.
QByteArray echoBack(const QString& line)
{
    return line.toUtf8() + "\r";
}

// A display that answers queries but refuses every set with "invalid cmd".
QByteArray refusingSets(const QString& line)
{
    if (line.startsWith(u"set "))
        return "\r\ninvalid cmd\r\n>";
    return answerEverything(line);
}

} // namespace

class DisplayTest : public QObject {
    Q_OBJECT

private slots:
    // After a display, a port where nothing answers: the picture stays, as the last line's.
    void silentPortKeepsThePictureAsThePreviousOnes()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        const DisplayState& d = f.display();
        QVERIFY(d.displayAnswered());
        QCOMPARE(d.standing(S::power), Standing::live);
        QCOMPARE(d.newest()->line, adapter);

        c.disconnectLine();
        QCOMPARE(d.standing(S::power), Standing::lastKnown);
        f.lines.display = {};
        f.connectTo("/dev/ttyS0"); // silent
        f.clock->advance(20);
        QVERIFY(c.line().connection().is(ConnectionState::Case::connected));
        QVERIFY(!d.displayAnswered());
        for (const SettingInfo& row : displaySettings())
            QVERIFY2(d.standing(row.setting) == Standing::lastKnown, qPrintable(row.name));
        QCOMPARE(d.newest()->line, adapter);
        QCOMPARE(d.input(), std::optional<QString>("1")); // shown, as what it is

        // Noise is bytes, not a display.
        f.lines.receive("\x01\x02 boot noise\r\n");
        QVERIFY(c.line().hearsBytes());
        QVERIFY(!d.displayAnswered());
    }

    // A bridge plug repeats every command: bytes come back, no value and no display.
    void echoesAreNoDisplay()
    {
        ControllerFixture f;
        DisplayController& c = f.connected(echoBack);
        f.clock->advance(30);
        QVERIFY(c.line().hearsBytes());
        QVERIFY(!f.display().displayAnswered());
        QCOMPARE(f.display(), [] {
            DisplayState fresh;
            fresh.beginConnection(1);
            return fresh;
        }());
        QVERIFY(c.log().counters().timeouts > 0);
    }

    // A set that times out or is refused returns to what the display says, with the reason.
    void failedSetReturnsToTheTruth()
    {
        for (const bool refused : {false, true}) { // no answer, or "invalid cmd"
            ControllerFixture f;
            DisplayController& c = f.connected();
            f.setPolling(false, 5); // the fake display's fixed poll answers would cover the truth
            const DisplayState& d = f.display();
            QCOMPARE(d.input(), std::optional<QString>("1"));
            QSignalSpy changed(&c.display(), &RemoteDisplay::changed);
            f.lines.display = refused ? FakeLines::Display(refusingSets) : FakeLines::Display();
            c.display().setInput("hdmi2");
            QCOMPARE(d.input(), std::optional<QString>("hdmi2")); // at once, under way
            QCOMPARE(d.knowledge(S::input).pending, 1);
            QCOMPARE(changed.size(), 1);
            f.clock->advance(3.2); // the timeout and a fresh prompt's, or long after the refusal
            QCOMPARE(d.input(), std::optional<QString>("1"));
            QCOMPARE(d.knowledge(S::input).pending, 0);
            QVERIFY(d.knowledge(S::input).failure.has_value());
            QVERIFY(d.knowledge(S::input).failure->startsWith(
                refused ? "Display meldet: invalid cmd" : "Keine Antwort auf „set input=hdmi2“"));
            // and the display is asked for the truth
            QVERIFY(f.lines.lines.endsWith("get input"));

            f.lines.display = answerEverything;
            c.display().setLevel(S::volume, 55);
            f.clock->advance(10); // behind the question for the input, which may wait its timeout
            QCOMPARE(d.level(S::volume), std::optional(55.0));
            QCOMPARE(d.knowledge(S::volume).source, ValueSource::echo);
            QCOMPARE(d.knowledge(S::input).failure.has_value(), true); // until its next command
        }
    }

    // A set the display took without telling the value: asked for, not assumed.
    void setWithoutEchoIsAskedFor()
    {
        ControllerFixture f;
        DisplayController& c = f.connected([](const QString& line) -> QByteArray {
            if (line == u"get volume")
                return "\r\nvolume=35\r\n>";
            return promptOnly(line);
        });
        c.display().stepLevel(S::volume, 5);
        f.clock->advance(0.3);
        QCOMPARE(f.lines.lines.mid(f.lines.lines.size() - 2),
                 QStringList({"set volume+5", "get volume"}));
        QCOMPARE(f.display().level(S::volume), std::optional(35.0));
        QCOMPARE(f.display().knowledge(S::volume).failure, std::nullopt);
    }

    // In raw mode, during a line test or without a line a click sends and changes nothing.
    void inertWhereNothingCanBeSent()
    {
        ControllerFixture f;
        DisplayController& c = f.connected();
        const DisplayState before = f.display();
        const auto clickEverything = [&] {
            c.display().setInput("hdmi2");
            c.display().setLevel(S::volume, 80);
            c.display().stepLevel(S::brightness, 5);
            c.display().setSwitch(S::mute, true);
            c.display().setPower(PowerState::standby);
        };
        QVERIFY(c.display().canAct());
        QSignalSpy canAct(&c.display(), &RemoteDisplay::canActChanged);

        c.pump().setRawMode(true);
        QCOMPARE(c.display().whyInert(), "Rohdaten-Modus: Die Bedienelemente senden nichts.");
        const qint64 tx = c.log().counters().tx;
        clickEverything();
        QCOMPARE(f.display(), before);
        QCOMPARE(c.log().counters().tx, tx);
        c.pump().setRawMode(false);

        f.setTestInterval(60);
        c.tester().startTest();
        QCOMPARE(c.display().whyInert(), QStringLiteral("Testausgabe läuft."));
        clickEverything();
        f.clock->advance(1);
        QCOMPARE(f.display(), before);
        c.tester().stopTest();
        QVERIFY(c.display().canAct());

        c.disconnectLine();
        clickEverything();
        QCOMPARE(f.display().knowledge(S::input), before.knowledge(S::input));
        QCOMPARE(canAct.size(), 5); // raw on/off, test on/off, the line gone
    }

    // A swapped display's serial number replaces the whole picture.
    void anotherSerialNumberReplacesThePicture()
    {
        ControllerFixture f;
        DisplayController& c = f.connected([](const QString& line) -> QByteArray {
            if (line == u"get serialnum")
                return "\r\nserialnum=OLD\r\n>";
            return answerEverything(line);
        });
        c.disconnectLine();
        f.lines.display = [](const QString& line) -> QByteArray {
            if (line == u"get serialnum")
                return "\r\nserialnum=NEW\r\n>";
            if (line.startsWith(u"get modelnum"))
                return "\r\nmodelnum=SBID-RX086\r\n>";
            return promptOnly(line); // knows nothing else
        };
        f.connectTo(adapter);
        f.clock->advance(3);
        const DisplayState& d = f.display();
        QCOMPARE(d.text(S::serialNumber), std::optional<QString>("NEW"));
        QCOMPARE(d.text(S::modelNumber), std::optional<QString>("SBID-RX086"));
        QCOMPARE(d.standing(S::volume), Standing::unknown);
        QCOMPARE(d.standing(S::firmware), Standing::unknown);
        QCOMPARE(c.display().series(), DisplaySeries::rx);
    }
};

QTEST_GUILESS_MAIN(DisplayTest)
#include "test_display.moc"
