#include "protocol/DisplaySeries.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"
#include "protocol/SmartCommand.h"

#include <QTest>

class VocabularyTest : public QObject {
    Q_OBJECT

private slots:
    void relativeCommand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("up") << "volume" << qint64(5) << "set volume+5";
        QTest::newRow("down") << "volume" << qint64(-5) << "set volume-5";
        QTest::newRow("zero is a plus") << "brightness" << qint64(0) << "set brightness+0";
        QTest::newRow("large down") << "volume" << qint64(-100) << "set volume-100";
        QTest::newRow("smallest 64-bit")
            << "volume" << std::numeric_limits<qint64>::min() << "set volume-9223372036854775808";
    }
    void relativeCommand()
    {
        QFETCH(QString, name);
        QFETCH(qint64, steps);
        QFETCH(QString, expected);
        QCOMPARE(SmartCommand::relative(name, steps), expected);
    }

    void settingName_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected"); // null: no setting name
        QTest::newRow("relative") << "set volume+5"
                                  << "volume";
        QTest::newRow("upper case") << "set VOLUME=40"
                                    << "volume";
        QTest::newRow("blanks around") << "set  volume = 7"
                                       << "volume";
        QTest::newRow("minus") << "set brightness-5"
                               << "brightness";
        QTest::newRow("mute") << "set mute=on"
                              << "mute";
        QTest::newRow("no operator") << "set volume"
                                     << "volume";
        QTest::newRow("tab trimmed") << "set \tmute\t=off"
                                     << "mute";
        QTest::newRow("nothing after space") << "set " << QString();
        QTest::newRow("no space") << "set" << QString();
    }
    void settingName()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        const auto name = SmartCommand::settingName(command);
        QCOMPARE(name.has_value(), !expected.isNull());
        if (name)
            QCOMPARE(*name, expected);
    }

    void queryLists()
    {
        QCOMPARE(SmartCommand::cyclicPoll(),
                 QStringList({"powerstate", "input", "volume", "mute", "brightness"}));
        QCOMPARE(SmartCommand::statusQueries().size(), 9);
        QCOMPARE(SmartCommand::statusQueries().last(), QStringLiteral("statereporting"));
        QCOMPARE(SmartCommand::infoQueries(),
                 QStringList({"modelnum", "serialnum", "partnum", "fwversion"}));
    }

    void detectSeries_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("expected");
        QTest::newRow("rx") << "SBID-RX086"
                            << "RX";
        QTest::newRow("qx") << "SBID-QX286"
                            << "QX";
        QTest::newRow("lower case") << "sbid-qx286"
                                    << "QX";
        QTest::newRow("both, qx first") << "RX-QX"
                                        << "QX";
        QTest::newRow("neither") << "SBID-MX275" << QString();
        QTest::newRow("empty") << "" << QString();
    }
    void detectSeries()
    {
        QFETCH(QString, model);
        QFETCH(QString, expected);
        const auto series = ::detectSeries(model);
        QCOMPARE(series ? rawValue(*series) : QString(), expected);
    }

    void seriesRawValueIsExact()
    {
        QCOMPARE(displaySeriesFromRaw("RX"), std::optional(DisplaySeries::rx));
        QCOMPARE(displaySeriesFromRaw("rx"), std::nullopt);
    }

    void powerStateRawValues()
    {
        for (PowerState state : allPowerStates())
            QCOMPARE(powerStateFromRaw(rawValue(state)), std::optional(state));
        QCOMPARE(powerStateFromRaw("On"), std::nullopt);
        QCOMPARE(powerStateFromRaw("sleeping"), std::nullopt);
        QCOMPARE(label(PowerState::standby), QStringLiteral("Standby (Netzwerk)"));
    }

    void powerStatesOfferedPerSeries()
    {
        using enum PowerState;
        QCOMPARE(availablePowerStates(DisplaySeries::qx),
                 QList<PowerState>({on, ready, standby, powersave, off}));
        QCOMPARE(availablePowerStates(DisplaySeries::rx), QList<PowerState>({on, standby, off}));
    }

    void inputLabels_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("expected");
        QTest::newRow("known") << "hdmi3"
                               << "HDMI 3";
        QTest::newRow("android") << "android"
                                 << "iQ / Android";
        QTest::newRow("no signal") << "none"
                                   << "Kein Signal";
        QTest::newRow("unknown kept") << "HDMI1"
                                      << "HDMI1";
    }
    void inputLabels()
    {
        QFETCH(QString, id);
        QFETCH(QString, expected);
        QCOMPARE(InputSource::labelFor(id), expected);
    }
};

QTEST_APPLESS_MAIN(VocabularyTest)
#include "test_vocabulary.moc"
