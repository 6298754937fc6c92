#include "protocol/DisplaySeries.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"
#include "protocol/SmartCommand.h"

#include <QTest>

class VocabularyTest : public QObject {
    Q_OBJECT

private slots:
    void relativeCommand()
    {
        using enum DisplaySetting;
        QCOMPARE(SmartCommand::relative(volume, 5), QStringLiteral("set volume+5"));
        QCOMPARE(SmartCommand::relative(brightness, 0), QStringLiteral("set brightness+0"));
        QCOMPARE(SmartCommand::relative(volume, std::numeric_limits<qint64>::min()),
                 QStringLiteral("set volume-9223372036854775808"));
        QCOMPARE(SmartCommand::set(micMute, "on"), QStringLiteral("set micmute=on"));
        QCOMPARE(SmartCommand::factoryReset("SIM0000001"),
                 QStringLiteral("set factoryreset=SIM0000001"));
    }

    void settingName_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected"); // null: no setting name
        const auto row = [](const char* command, const QString& expected) {
            QTest::newRow(command) << command << expected;
        };
        row("set volume+5", "volume");
        row("set VOLUME=40", "volume");
        row("set \tvolume = 7", "volume");
        row("set brightness-5", "brightness");
        row("set volume", "volume");
        row("set ", {});
        row("set", {});
    }
    void settingName()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        const auto name = SmartCommand::settingName(command);
        QCOMPARE(name.value_or(QString()), expected);
        QCOMPARE(name.has_value(), !expected.isNull());
    }

    // The wire words and the three query lists, in sending order.
    void settingTable()
    {
        const auto names = [](const QList<DisplaySetting>& settings) {
            QStringList words;
            for (DisplaySetting setting : settings)
                words.append(::settingName(setting));
            return words.join(u' ');
        };
        QCOMPARE(names(SmartCommand::cyclicPoll()),
                 QStringLiteral("powerstate input volume mute brightness"));
        QCOMPARE(names(SmartCommand::statusQueries()),
                 QStringLiteral("powerstate input volume mute micmute brightness videofreeze "
                                "screenshade statereporting"));
        QCOMPARE(names(SmartCommand::infoQueries()),
                 QStringLiteral("modelnum serialnum partnum fwversion"));
        for (const SettingInfo& row : displaySettings())
            QCOMPARE(settingNamed(row.name), std::optional(row.setting));
        QCOMPARE(settingNamed("VOLUME"), std::nullopt);
        QCOMPARE(settingNamed("factoryreset"), std::nullopt);
    }

    void series()
    {
        const auto detected = [](const QString& model) {
            const auto series = ::detectSeries(model);
            return series ? rawValue(*series) : QString();
        };
        QCOMPARE(detected("SBID-RX086"), QStringLiteral("RX"));
        QCOMPARE(detected("sbid-qx286"), QStringLiteral("QX"));
        QCOMPARE(detected("RX-QX"), QStringLiteral("QX"));
        QCOMPARE(detected("SBID-MX275"), QString());
        QCOMPARE(displaySeriesFromRaw("RX"), std::optional(DisplaySeries::rx));
        QCOMPARE(displaySeriesFromRaw("rx"), std::nullopt);
    }

    void powerStates()
    {
        for (PowerState state : allPowerStates())
            QCOMPARE(powerStateFromRaw(rawValue(state)), std::optional(state));
        QCOMPARE(powerStateFromRaw("On"), std::nullopt);
        QCOMPARE(powerStateFromRaw("sleeping"), std::nullopt);
        QCOMPARE(label(PowerState::standby), QStringLiteral("Standby (Netzwerk)"));
        using enum PowerState;
        QCOMPARE(availablePowerStates(DisplaySeries::qx),
                 QList<PowerState>({on, ready, standby, powersave, off}));
        QCOMPARE(availablePowerStates(DisplaySeries::rx), QList<PowerState>({on, standby, off}));
    }

    void inputLabels()
    {
        QCOMPARE(InputSource::labelFor("hdmi3"), QStringLiteral("HDMI 3"));
        QCOMPARE(InputSource::labelFor("android"), QStringLiteral("iQ / Android"));
        QCOMPARE(InputSource::labelFor("none"), QStringLiteral("Kein Signal"));
        QCOMPARE(InputSource::labelFor("HDMI1"), QStringLiteral("HDMI1")); // unknown kept
    }
};

QTEST_APPLESS_MAIN(VocabularyTest)
#include "test_vocabulary.moc"
