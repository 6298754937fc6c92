// What bildwartctl prints: the display's values, log lines and round-trip times.
#include "ControllerFixture.h"
#include "cli/DisplayReport.h"
#include "cli/LogLine.h"
#include "cli/ReportedValues.h"
#include "cli/RoundTripTimes.h"

#include <QTest>

namespace {

// A connected controller whose replies are recorded as the tool records them.
struct ReportFixture : ControllerFixture {
    ReportedValues reported;

    ReportFixture()
    {
        connected(promptOnly);
        QObject::connect(controller.get(), &DisplayController::displayEvent,
                         [this](const SmartEvent& event) { reported.record(event); });
    }
    void reply(const QString& name, const QString& value)
    {
        lines.receive(("\r\n" + name + u'=' + value + "\r\n").toUtf8());
    }
};

} // namespace

class DisplayReportTest : public QObject {
    Q_OBJECT

private slots:
    // The controller starts at volume 0 and mute off; nothing reported is null.
    void unreportedIsNull()
    {
        ReportFixture f;
        for (const QString& name : DisplayReport::statusNames()) {
            const QJsonValue value = DisplayReport::value(*f.controller, f.reported, name);
            QCOMPARE(value.isNull(), name != u"series");
        }
        QCOMPARE(DisplayReport::value(*f.controller, f.reported, "series"), QJsonValue("QX"));
    }

    void reportedValues_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("key"); // the value asked for
        QTest::addColumn<QJsonValue>("expected");
        const auto row = [](const char* tag, const char* name, const char* reply,
                            const QJsonValue& expected, const char* key = nullptr) {
            QTest::newRow(tag) << name << reply << (key ? key : name) << expected;
        };
        row("volume", "volume", "35", 35);
        row("volume zero is known", "volume", "0", 0);
        row("mute", "mute", "on", true);
        row("screenshade off", "screenshade", "off", false);
        row("power, lower case", "powerstate", "STANDBY", "standby");
        row("power unknown", "powerstate", "sleeping", {});
        row("model, case kept", "modelnum", "SBID-RX086", "SBID-RX086");
        row("series follows the model", "modelnum", "SBID-RX086", "RX", "series");
        row("a setting the controller does not keep", "lightsensor", "12", "12");
    }

    void reportedValues()
    {
        QFETCH(QString, name);
        QFETCH(QString, reply);
        QFETCH(QString, key);
        QFETCH(QJsonValue, expected);
        ReportFixture f;
        f.reply(name, reply);
        QCOMPARE(DisplayReport::value(*f.controller, f.reported, key), expected);
    }

    void plainLines()
    {
        // Numbers in the C locale, whatever the desktop's.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto line = [](const QJsonValue& value) {
            return DisplayReport::plainLine("volume", value).value_or("(none)");
        };
        QCOMPARE(line(35.0), QStringLiteral("volume=35"));
        QCOMPARE(line(40.5), QStringLiteral("volume=40.5"));
        QCOMPARE(line(true), QStringLiteral("volume=on"));
        QCOMPARE(line(false), QStringLiteral("volume=off"));
        QCOMPARE(line("hdmi 2"), QStringLiteral("volume=hdmi 2"));
        QCOMPARE(line({}), QStringLiteral("(none)"));
        QLocale::setDefault(QLocale::c());
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

    void roundTripTimes()
    {
        RoundTripTimes times;
        QCOMPARE(times.median(), std::nullopt);
        times.add(0.004);
        QCOMPARE(times.median().value_or(-1), 0.004);
        times.add(0.010);
        times.add(0.001); // odd count, unsorted
        QCOMPARE(times.median().value_or(-1), 0.004);
        times.add(0.002); // even count: the mean of the middle two
        QCOMPARE(times.median().value_or(-1), 0.003);
        QCOMPARE(times.min().value_or(-1), 0.001);
        QCOMPARE(times.max().value_or(-1), 0.010);
    }
};

QTEST_GUILESS_MAIN(DisplayReportTest)
#include "test_ctl_output.moc"
