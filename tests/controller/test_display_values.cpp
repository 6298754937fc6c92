// The controller's plain values: display state, command queue, dropout history.
#include "controller/values/CommandQueue.h"
#include "controller/values/DisplayState.h"
#include "controller/values/DropoutHistory.h"
#include "linetest/PendingEcho.h"

#include <QTest>

using namespace std::chrono_literals;

namespace {

const DisplayState::TimePoint t0{1000s};

} // namespace

class DisplayValuesTest : public QObject {
    Q_OBJECT

private slots:
    // Each reply applied to volume 7 and power on; what the setting then holds.
    void replies()
    {
        using V = DisplayState::Value;
        const std::pair<const char*, V> rows[] = {
            {"powerstate=STANDBY", QStringLiteral("standby")},
            {"powerstate=sleeping", V()}, // unknown
            {"input=HDMI2", QStringLiteral("hdmi2")},
            {"volume=40.5", 40.5},
            {"volume=abc", 7.0},
            {"volume=nan", 7.0},
            {"volume= 5", 7.0},
            {"mute=ON", true},
            {"mute=onn", false},
            {"statereporting=on", true},
            {"partnum=1033157 REV a", QStringLiteral("1033157 REV a")}, // case and blanks kept
        };
        for (const auto& [reply, expected] : rows) {
            DisplayState state;
            state.volume = 7;
            state.power = PowerState::on;
            const QString name = QString(reply).section(u'=', 0, 0);
            state.apply(name, QString(reply).section(u'=', 1), false, t0);
            QVERIFY2(state.value(*settingNamed(name)) == expected, reply);
        }
    }

    // Query answers for the levels are ignored for two seconds after a set action;
    // answers to set commands, reports and every other setting are not.
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
            const DisplayState untouched = state;
            state.apply(name, qstrcmp(name, "mute") == 0 ? "on" : "40", fromQuery,
                        t0 + std::chrono::milliseconds(afterMs));
            QVERIFY2((state != untouched) == applied,
                     qPrintable(QStringLiteral("%1 after %2 ms").arg(name).arg(afterMs)));
        }
    }

    // An unknown name changes nothing; a model number names the series, if it can.
    void unknownNamesAndModels()
    {
        DisplayState state;
        QCOMPARE(state.apply("factoryreset", "x", false, t0), std::nullopt);
        QCOMPARE(state, DisplayState());
        QCOMPARE(state.apply("modelnum", "SBID-RX086", true, t0), std::optional(DisplaySeries::rx));
        QCOMPARE(state.apply("modelnum", "SBID-MX275", true, t0), std::nullopt);
        QCOMPARE(state.modelNumber, QStringLiteral("SBID-MX275"));
    }

    // Newest to oldest, in place, set commands of one setting only.
    void queueMerging_data()
    {
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QStringList>("queued");
        QTest::newRow("replaced in place")
            << QStringList{"get input", "set volume=10", "set volume=30"}
            << QStringList{"get input", "set volume=30"};
        QTest::newRow("other spelling, relative")
            << QStringList{"set volume=10", "set mute=on", "set VOLUME+5"}
            << QStringList{"set VOLUME+5", "set mute=on"};
        QTest::newRow("a query does not replace a set")
            << QStringList{"set volume=1", "get volume"}
            << QStringList{"set volume=1", "get volume"};
        QTest::newRow("no setting name")
            << QStringList{"set ", "set "} << QStringList{"set ", "set "};
    }
    void queueMerging()
    {
        QFETCH(QStringList, sent);
        QFETCH(QStringList, queued);
        CommandQueue queue;
        for (const QString& text : sent)
            queue.add({text});
        QStringList texts;
        for (const SmartCommand& command : queue.commands())
            texts.append(command.text);
        QCOMPARE(texts, queued);
    }

    void dropoutWindowAndCap()
    {
        const QDateTime start(QDate(2026, 12, 5), QTime(14, 0), Qt::UTC);
        DropoutHistory history;
        history.record(start);
        QVERIFY(!history.hasRepeated(start));
        history.record(start.addSecs(599));
        QVERIFY(history.hasRepeated(start.addSecs(599)));
        QVERIFY(!history.hasRepeated(start.addSecs(601))); // the first is older than 10 min
        for (int i = 0; i < 60; ++i)
            history.record(start.addSecs(1000 + i));
        QCOMPARE(history.size(), 50);
        QCOMPARE(history.times().first(), start.addSecs(1010)); // the oldest went first
    }

    void echoDeadline()
    {
        QCOMPARE(PendingEcho::waitSeconds(32, 19200), 0.3); // 0.25 s, raised to the floor
        QCOMPARE(PendingEcho::waitSeconds(512, 9600), 1.8);
        QVERIFY(PendingEcho::waitSeconds(8, 0) > 0); // a rate of 0 is no division by zero
    }
};

QTEST_APPLESS_MAIN(DisplayValuesTest)
#include "test_display_values.moc"
