// What bildwartctl prints: the display's values, log lines and round-trip times.
#include "cli/DisplayReport.h"
#include "cli/LogLine.h"
#include "cli/ReportedValues.h"
#include "cli/RoundTripTimes.h"
#include "controller/ControllerFixture.h"

#include <QTest>

namespace {

// The reply as the controller and the tool's own parser both see it.
void report(DisplayController& controller, ReportedValues& reported, const QString& name,
            const QString& value)
{
    controller.apply(name, value, false);
    reported.record(SmartEvent::makeValue(name, value));
}

} // namespace

class DisplayReportTest : public QObject {
    Q_OBJECT

private slots:
    // The controller starts at volume 0 and mute off; nothing reported is null.
    void unreportedIsNull()
    {
        TemporaryStore store;
        const auto controller = makeController(store.settings());
        const ReportedValues reported;
        for (const QString& name : DisplayReport::statusNames()) {
            const QJsonValue value = DisplayReport::value(*controller, reported, name);
            QCOMPARE(value.isNull(), name != u"series");
        }
        QCOMPARE(DisplayReport::value(*controller, reported, "series"), QJsonValue("QX"));
    }

    void reportedValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QJsonValue>("expected");
        QTest::newRow("volume") << "volume"
                                << "35" << QJsonValue(35);
        QTest::newRow("volume zero is known") << "volume"
                                              << "0" << QJsonValue(0);
        QTest::newRow("mute") << "mute"
                              << "on" << QJsonValue(true);
        QTest::newRow("screenshade off") << "screenshade"
                                         << "off" << QJsonValue(false);
        QTest::newRow("power, lower case") << "powerstate"
                                           << "STANDBY" << QJsonValue("standby");
        QTest::newRow("power unknown") << "powerstate"
                                       << "sleeping" << QJsonValue();
        QTest::newRow("model, case kept") << "modelnum"
                                          << "SBID-RX086" << QJsonValue("SBID-RX086");
        QTest::newRow("a setting the controller does not keep") << "lightsensor"
                                                                << "12" << QJsonValue("12");
    }

    void reportedValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, reply);
        QFETCH(QJsonValue, expected);
        TemporaryStore store;
        const auto controller = makeController(store.settings());
        ReportedValues reported;
        report(*controller, reported, name, reply);
        QCOMPARE(DisplayReport::value(*controller, reported, name), expected);
    }

    void seriesFollowsTheModel()
    {
        TemporaryStore store;
        const auto controller = makeController(store.settings());
        ReportedValues reported;
        report(*controller, reported, "modelnum", "SBID-RX086");
        QCOMPARE(DisplayReport::value(*controller, reported, "series"), QJsonValue("RX"));
    }

    void plainLines_data()
    {
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole number") << QJsonValue(35.0) << "volume=35";
        QTest::newRow("fraction, C locale") << QJsonValue(40.5) << "volume=40.5";
        QTest::newRow("on") << QJsonValue(true) << "volume=on";
        QTest::newRow("off") << QJsonValue(false) << "volume=off";
        QTest::newRow("text") << QJsonValue("hdmi 2") << "volume=hdmi 2";
    }

    void plainLines()
    {
        QFETCH(QJsonValue, value);
        QFETCH(QString, expected);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(DisplayReport::plainLine("volume", value), std::optional(expected));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(DisplayReport::plainLine("volume", QJsonValue()), std::nullopt);
    }

    void reportsAreRemembered()
    {
        ReportedValues reported;
        reported.record(SmartEvent::makeAsync("mute", "on"));
        reported.record(SmartEvent::makeText("invalid cmd"));
        reported.record(SmartEvent::makePrompt());
        QCOMPARE(reported.value("mute"), std::optional<QString>("on"));
        QVERIFY(!reported.contains("invalid cmd"));
        reported.clear();
        QVERIFY(!reported.contains("mute"));
    }

    void logLines()
    {
        const QDateTime date(QDate(2026, 12, 5), QTime(14, 3, 22, 105));
        const LogEntry sent{QUuid::createUuid(), date, LogEntry::Kind::tx, "get volume",
                            QByteArray("get volume\r")};
        QCOMPARE(logLine(sent, false), QString("2026-12-05 14:03:22.105 \u2192 get volume"));
        QCOMPARE(logLine(sent, true),
                 QString("2026-12-05 14:03:22.105 \u2192 67 65 74 20 76 6F 6C 75 6D 65 0D"));
        // Notes have no bytes; they stay text in hex mode.
        const LogEntry note{
            QUuid::createUuid(), date, LogEntry::Kind::info, "Verbindung getrennt", {}};
        QCOMPARE(logLine(note, true),
                 QString("2026-12-05 14:03:22.105 \u2139\uFE0E Verbindung getrennt"));
    }

    void roundTripTimes_data()
    {
        QTest::addColumn<QList<double>>("seconds");
        QTest::addColumn<double>("median");
        QTest::newRow("one") << QList<double>{0.004} << 0.004;
        QTest::newRow("odd, unsorted") << QList<double>{0.009, 0.001, 0.003} << 0.003;
        QTest::newRow("even: the mean of the middle two")
            << QList<double>{0.004, 0.001, 0.002, 0.010} << 0.003;
    }

    void roundTripTimes()
    {
        QFETCH(QList<double>, seconds);
        QFETCH(double, median);
        RoundTripTimes times;
        QCOMPARE(times.median(), std::nullopt);
        for (double value : seconds)
            times.add(value);
        QVERIFY(times.median());
        QCOMPARE(*times.median(), median);
        QCOMPARE(times.min(), std::optional(*std::min_element(seconds.begin(), seconds.end())));
        QCOMPARE(times.max(), std::optional(*std::max_element(seconds.begin(), seconds.end())));
    }
};

QTEST_GUILESS_MAIN(DisplayReportTest)
#include "test_ctl_output.moc"
