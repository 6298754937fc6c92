// The controller's plain values: what is known of the display, the command queue, the
// prompt handshake, the reconnection plan, the dropout history.
#include "controller/values/CommandQueue.h"
#include "controller/values/DisplayState.h"
#include "controller/values/DropoutHistory.h"
#include "controller/values/PromptHandshake.h"
#include "controller/values/ReconnectPlan.h"
#include "linetest/PendingEcho.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {

const DisplayState::TimePoint t0{1000s};
const QDateTime noon(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC);

// One reply, told on connection 1 of "/dev/ttyUSB0".
bool tell(DisplayState& state, const QString& name, const QString& value,
          ValueSource source = ValueSource::query, bool fromQuery = false,
          DisplayState::TimePoint now = t0)
{
    return state.apply(name, value, source, fromQuery, now, noon, QStringLiteral("/dev/ttyUSB0"));
}

using S = DisplaySetting;
using Standing = DisplayState::Standing;

} // namespace

class DisplayValuesTest : public QObject {
    Q_OBJECT

private slots:
    // Each reply on a state that knows volume 7 and power on; what the setting then holds.
    void replies()
    {
        const std::tuple<const char*, std::optional<QString>> rows[] = {
            {"powerstate=STANDBY", "standby"},
            {"powerstate=sleeping", "sleeping"}, // told, but no state of ours
            {"input=HDMI2", "hdmi2"},
            {"volume=40.5", "40.5"},
            {"volume=abc", "7"}, // the number grammar itself: test_smart_protocol
            {"mute=ON", "on"},
            {"mute=onn", "off"},
            {"partnum=1033157 REV a", "1033157 REV a"}, // case and blanks kept
        };
        for (const auto& [reply, expected] : rows) {
            DisplayState state;
            state.beginConnection(1);
            tell(state, "volume", "7");
            tell(state, "powerstate", "on");
            const QString name = QString(reply).section(u'=', 0, 0);
            tell(state, name, QString(reply).section(u'=', 1));
            QVERIFY2(state.knowledge(*settingNamed(name)).value == expected, reply);
        }
        DisplayState state;
        QVERIFY(!tell(state, "factoryreset", "x"));
        QCOMPARE(state, DisplayState());
        tell(state, "powerstate", "sleeping");
        QCOMPARE(state.power(), std::nullopt);
        QCOMPARE(state.standing(S::power), Standing::lastKnown); // no connection open
    }

    // Unknown until told; live on the open connection; last known once another opens; a
    // different serial number makes the rest unknown, except what this connection told.
    void standingAndAnotherDisplay()
    {
        DisplayState state;
        QCOMPARE(state.standing(S::volume), Standing::unknown);
        QCOMPARE(state.level(S::volume), std::nullopt);
        state.beginConnection(1);
        tell(state, "serialnum", "A1");
        tell(state, "volume", "30");
        QCOMPARE(state.standing(S::volume), Standing::live);
        QVERIFY(!state.displayAnswered());
        state.noteDisplayAnswered();
        QVERIFY(state.displayAnswered());

        state.endConnection();
        QCOMPARE(state.standing(S::volume), Standing::lastKnown);
        QCOMPARE(state.level(S::volume), std::optional(30.0)); // still shown, as last known
        state.beginConnection(2);
        QCOMPARE(state.standing(S::volume), Standing::lastKnown);
        QVERIFY(!state.displayAnswered());
        QCOMPARE(state.newest()->line, QStringLiteral("/dev/ttyUSB0"));

        tell(state, "modelnum", "SBID-RX086"); // first of the new connection's answers
        tell(state, "serialnum", "A1");        // the same display: nothing forgotten
        QCOMPARE(state.level(S::volume), std::optional(30.0));
        tell(state, "serialnum", "B2"); // another one
        QCOMPARE(state.standing(S::volume), Standing::unknown);
        QCOMPARE(state.text(S::modelNumber), std::optional<QString>("SBID-RX086"));
        QCOMPARE(state.series(), std::optional(DisplaySeries::rx));
    }

    // Query answers for levels are ignored for two seconds after a set action, other answers
    // not; the hold-off ends early for the answer to a question for the truth.
    void levelHoldOff()
    {
        const std::tuple<const char*, bool, int, bool> rows[] = {
            // name, answer to a query, ms after the set action, applied
            {"volume", true, 1999, false}, {"brightness", true, 0, false},
            {"volume", true, 2000, true},  {"volume", false, 500, true},
            {"mute", true, 500, true},
        };
        for (const auto& [name, fromQuery, afterMs, applied] : rows) {
            DisplayState state;
            state.holdOffLevelQueries(t0);
            const bool taken = tell(state, name, qstrcmp(name, "mute") == 0 ? "on" : "40",
                                    ValueSource::query, fromQuery, t0 + 1ms * afterMs);
            QVERIFY2(taken == applied,
                     qPrintable(QStringLiteral("%1 after %2 ms").arg(name).arg(afterMs)));
        }
        DisplayState state;
        state.holdOffLevelQueries(t0);
        state.endHoldOff();
        QVERIFY(tell(state, "volume", "40", ValueSource::query, true, t0));
    }

    // A command under way shows its value at once, an echo confirms it, a failure returns to
    // what the display told; the value goes with the last command of a setting.
    void commandsUnderWay()
    {
        DisplayState state;
        state.beginConnection(1);
        tell(state, "input", "hdmi1");
        state.commandQueued(S::input, "hdmi2");
        QCOMPARE(state.input(), std::optional<QString>("hdmi2"));
        QCOMPARE(state.knowledge(S::input).value, std::optional<QString>("hdmi1"));
        state.commandEnded(S::input, QStringLiteral("Keine Antwort"));
        QCOMPARE(state.input(), std::optional<QString>("hdmi1"));
        QCOMPARE(state.knowledge(S::input).failure, std::optional<QString>("Keine Antwort"));

        state.commandQueued(S::input, "hdmi3"); // a new command clears the failure
        QCOMPARE(state.knowledge(S::input).failure, std::nullopt);
        state.commandQueued(S::input, "hdmi4");
        tell(state, "input", "hdmi3", ValueSource::echo);
        QCOMPARE(state.input(), std::optional<QString>("hdmi3")); // the truth, as it came
        state.commandEnded(S::input, std::nullopt);
        QCOMPARE(state.knowledge(S::input).pending, 1);
        state.commandQueued(S::volume, std::nullopt); // a step of an unknown level
        QCOMPARE(state.level(S::volume), std::nullopt);
        state.dropPending();
        QCOMPARE(state.knowledge(S::input).pending, 0);
        QCOMPARE(state.input(), std::optional<QString>("hdmi3"));
    }

    // Newest to oldest, in place, set commands of one setting only; the replaced one is returned.
    void queueMerging()
    {
        // What stays queued, then what was replaced, after the commands one by one.
        const auto merged = [](const QStringList& sent) {
            CommandQueue queue;
            QStringList gone;
            for (const QString& text : sent) {
                if (const auto old = queue.add({text}))
                    gone.append(old->text);
            }
            QStringList texts;
            for (const SmartCommand& command : queue.commands())
                texts.append(command.text);
            return texts.join(u',') + u'|' + gone.join(u',');
        };
        QCOMPARE(merged({"get input", "set volume=10", "set volume=30"}),
                 "get input,set volume=30|set volume=10"); // in place
        QCOMPARE(merged({"set volume=10", "set mute=on", "set VOLUME+5"}),
                 "set VOLUME+5,set mute=on|set volume=10"); // another spelling, relative
        QCOMPARE(merged({"set volume=1", "get volume"}), "set volume=1,get volume|");
        QCOMPARE(merged({"set ", "set "}), "set ,set |"); // no setting name
    }

    // Prompt or timeout ends a command, then the pause; a late prompt changes nothing, a late
    // timer does not stretch the pause.
    void promptHandshake()
    {
        using Phase = PromptHandshake::Phase;
        const PromptHandshake::Seconds timeout(1.5), pause(0.05);
        PromptHandshake h;
        QCOMPARE(h.deadline(), std::nullopt);
        h.sent({"get volume"}, t0, timeout);
        QCOMPARE(h.phase(), Phase::awaiting);
        QCOMPARE(h.timePassed(t0 + 1499ms, pause), std::nullopt);
        QCOMPARE(h.timePassed(t0 + 1500ms, pause)->text, QStringLiteral("get volume"));
        QCOMPARE(h.phase(), Phase::pausing);
        QCOMPARE(h.promptArrived(t0 + 1510ms, pause), std::nullopt); // late: nothing waits
        QCOMPARE(*h.deadline(), t0 + 1550ms);
        h.timePassed(t0 + 1550ms, pause);
        QCOMPARE(h.phase(), Phase::idle);

        h.sent({"get mute"}, t0, timeout);
        QCOMPARE(h.timePassed(t0 + 1600ms, pause)->text, QStringLiteral("get mute"));
        QCOMPARE(h.phase(), Phase::idle); // the timer came late; the pause is over too
        // The prompt owed to "get mute" ends nothing; the next one ends "get input".
        QCOMPARE(h.owed(), 1);
        h.sent({"get input"}, t0, timeout);
        QCOMPARE(h.promptArrived(t0 + 10ms, PromptHandshake::Seconds(0)), std::nullopt);
        QCOMPARE(h.promptArrived(t0 + 20ms, PromptHandshake::Seconds(0))->text, "get input");
        QCOMPARE(h.phase(), Phase::idle);
        h.sent({"get volume"}, t0, timeout);
        h.timePassed(t0 + 1500ms, pause);
        h.forgetOwed(); // not coming
        h.sent({"get power"}, t0, timeout);
        QCOMPARE(h.promptArrived(t0 + 10ms, pause)->text, QStringLiteral("get power"));
        h.sent({"x"}, t0, timeout);
        QCOMPARE(h.reset()->text, QStringLiteral("x"));
        QCOMPARE(h, PromptHandshake());
    }

    // An adapter: six attempts, 0.4 s then 0.8 s apart. A gateway: without end, up to 30 s apart.
    void reconnectionDropoutsAndEchoDeadline()
    {
        const auto waits = [](ReconnectPlan::Target target, int steps) {
            const ReconnectPlan plan(target);
            QList<double> seen{plan.first().wait};
            for (int attempt = 1; attempt < steps; ++attempt) {
                const auto next = plan.afterFailure(attempt);
                if (!next)
                    break;
                if (next->attempt != attempt + 1)
                    return QList<double>{-1};
                seen.append(next->wait);
            }
            return seen;
        };
        QCOMPARE(waits(ReconnectPlan::Target::adapter, 20),
                 QList<double>({0.4, 0.8, 0.8, 0.8, 0.8, 0.8}));
        QCOMPARE(waits(ReconnectPlan::Target::network, 9),
                 QList<double>({1, 2, 4, 8, 16, 30, 30, 30, 30}));

        // Losses count as repeated within ten minutes; fifty are kept.
        DropoutHistory history;
        history.record(noon);
        QVERIFY(!history.hasRepeated(noon));
        history.record(noon.addSecs(599));
        QVERIFY(history.hasRepeated(noon.addSecs(599)));
        QVERIFY(!history.hasRepeated(noon.addSecs(601))); // the first is older than 10 min
        for (int i = 0; i < 60; ++i)
            history.record(noon.addSecs(1000 + i));
        QCOMPARE(history.size(), 50);
        QCOMPARE(history.times().first(), noon.addSecs(1010)); // the oldest went first

        // A loopback packet's echo deadline.
        QCOMPARE(PendingEcho::waitSeconds(32, 19200), 0.3); // 0.25 s, raised to the floor
        QCOMPARE(PendingEcho::waitSeconds(512, 9600), 1.8);
        QVERIFY(PendingEcho::waitSeconds(8, 0) > 0); // a rate of 0 is no division by zero
    }
};

QTEST_APPLESS_MAIN(DisplayValuesTest)
#include "test_display_values.moc"
