#include "LineFixture.h"

#include <QSignalSpy>

class RepliesActionsTest : public QObject {
    Q_OBJECT

private slots:
    void reportedValues_data()
    {
        QTest::addColumn<QString>("report");   // name=value
        QTest::addColumn<QString>("expected"); // rendering of the property afterwards
        const char* rows[][3] = {
            {"power upper case", "powerstate=STANDBY", "standby"},
            {"unknown power", "powerstate=sleeping", "none"},
            {"input lowered", "input=HDMI2", "hdmi2"},
            {"volume fraction", "volume=40.5", "40.5"},
            {"volume unreadable", "volume=abc", "7"},
            {"volume comma", "volume=40,5", "7"},
            {"volume nan", "volume=nan", "7"},
            {"volume blank", "volume=", "7"},
            {"mute ON", "mute=ON", "true"},
            {"mute misspelt", "mute=onn", "false"},
            {"micmute", "micmute=on", "true"},
            {"freeze", "videofreeze=on", "true"},
            {"shade", "screenshade=on", "true"},
            {"reporting", "statereporting=on", "true"},
            {"serial keeps case", "serialnum=Sim01", "Sim01"},
            {"firmware", "fwversion=1.07", "1.07"},
            {"part", "partnum=1033157 REV A", "1033157 REV A"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
    }
    void reportedValues()
    {
        QFETCH(QString, report);
        QFETCH(QString, expected);
        ControllerFixture f;
        DisplayController& c = f.make();
        c.apply("volume", "7", false);
        c.apply("powerstate", "on", false);
        const QString name = report.section(u'=', 0, 0);
        c.apply(name, report.section(u'=', 1), false);
        const auto flag = [](bool on) { return QVariant(on).toString(); };
        const QMap<QString, std::function<QString()>> read{
            {"powerstate", [&] { return c.power() ? rawValue(*c.power()) : "none"; }},
            {"input", [&] { return c.input().value_or("none"); }},
            {"volume", [&] { return QString::number(c.volume()); }},
            {"mute", [&] { return flag(c.mute()); }},
            {"micmute", [&] { return flag(c.micMute()); }},
            {"videofreeze", [&] { return flag(c.videoFreeze()); }},
            {"screenshade", [&] { return flag(c.screenShade()); }},
            {"statereporting", [&] { return flag(c.stateReporting()); }},
            {"serialnum", [&] { return c.serialNumber(); }},
            {"fwversion", [&] { return c.firmware(); }},
            {"partnum", [&] { return c.partNumber(); }},
        };
        QCOMPARE(read[name](), expected);
    }

    void seriesIsRecognisedOnce()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        QSignalSpy changed(&c, &DisplayController::seriesChanged);
        c.apply("modelnum", "SBID-RX086", true);
        c.apply("modelnum", "SBID-RX086", true);
        QCOMPARE(c.series(), DisplaySeries::rx);
        QCOMPARE(c.modelNumber(), QStringLiteral("SBID-RX086"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(f.store.settings().value("displaySeries").toString(), QStringLiteral("RX"));
        QCOMPARE(f.logTexts(Kind::info), QStringList{"Reihe automatisch erkannt: SMART RX"});
        c.apply("modelnum", "SBID-MX", true); // no series in it: the series stays
        QCOMPARE(c.series(), DisplaySeries::rx);
    }

    void pollAnswerInsideTheHoldOffIsIgnored()
    {
        LineFixture f;
        f.display.setScript([](const QString& line) -> QByteArray {
            if (line == u"get volume")
                return "\r\nvolume=40\r\n>";
            if (line.startsWith(u"set volume="))
                return "\r\n" + line.mid(4).toUtf8() + "\r\n>";
            return answerEverything(line);
        });
        DisplayController& c = f.connect();
        QVERIFY(f.waitUntilIdle());
        QCOMPARE(c.volume(), 40.0);

        c.setVolume(70.4);
        QCOMPARE(c.volume(), 70.0); // at once, before any answer
        c.send("get volume");       // what a poll would ask
        QVERIFY(f.waitUntilIdle(startupCommandCount + 2));
        QCOMPARE(c.volume(), 70.0);

        f.clock->advance(2.1); // the window has closed
        c.send("get volume");
        QVERIFY(f.waitUntilIdle(startupCommandCount + 3));
        QCOMPARE(c.volume(), 40.0);
    }

    void displayMessages()
    {
        LineFixture f;
        f.display.setScript(answerEverything);
        DisplayController& c = f.connect();
        QVERIFY(f.waitUntilIdle());
        c.setMute(false); // opens the hold-off: reports are applied anyway
        QVERIFY(f.waitUntilIdle(startupCommandCount + 1));
        f.display.write("\r\n#mute=on\r\ninvalid cmd\r\nUnknown command\r\nhelp: get/set\r\n");
        QTRY_VERIFY(c.mute());
        QTRY_COMPARE(f.logTexts(Kind::error), QStringList({"Display meldet: invalid cmd",
                                                           "Display meldet: Unknown command"}));
        QCOMPARE(f.logTexts(Kind::async), QStringList{"Am Ger\u00E4t ge\u00E4ndert: mute=on"});

        // Raw mode logs what comes, but parses nothing.
        c.setRawMode(true);
        const qint64 before = c.rxCount();
        f.display.write("\r\nvolume=99\r\n>");
        QTRY_COMPARE(c.rxCount(), before + 14);
        QCOMPARE(c.volume(), 30.0);
    }

    void pollAsksTheFiveValuesWhenIdle()
    {
        LineFixture f;
        f.display.setScript(answerEverything);
        DisplayController& c = f.connect();
        c.setPollingInterval(0.2); // the poll never runs more often than once a second
        QVERIFY(f.waitUntilIdle());
        QTRY_VERIFY_WITH_TIMEOUT(f.display.lines.size() >= startupCommandCount + 5, 5000);
        QCOMPARE(f.display.lines.mid(startupCommandCount, 5),
                 QStringList(
                     {"get powerstate", "get input", "get volume", "get mute", "get brightness"}));

        c.setPollingEnabled(false);
        QVERIFY(f.waitUntilIdle(startupCommandCount + 5));
        const qsizetype seen = f.display.lines.size();
        QTest::qWait(1500);
        QCOMPARE(f.display.lines.size(), seen);
    }

    void actionsChangeTheLocalCopyAndQueueOneCommand()
    {
        LineFixture f; // silent: everything after the first command stays queued
        SerialSettings slow;
        slow.responseTimeout = 30;
        DisplayController& c = f.connect(slow);
        QTRY_VERIFY(c.current().has_value());
        c.apply("volume", "98", false);
        c.apply("brightness", "3", false);

        struct Row {
            const char* name;
            std::function<void()> action;
            QString command;
            std::function<bool()> localCheck;
        };
        const QList<Row> rows{
            {"power", [&] { c.setPower(PowerState::standby); }, "set powerstate=standby",
             [&] { return !c.power().has_value() || *c.power() != PowerState::standby; }},
            {"input", [&] { c.setInput("hdmi2"); }, "set input=hdmi2",
             [&] { return c.input() == "hdmi2"; }},
            {"volume step up at 98", [&] { c.stepVolume(5); }, "set volume+5",
             [&] { return c.volume() == 100; }},
            {"volume rounds down", [&] { c.setVolume(40.4); }, "set volume=40",
             [&] { return c.volume() == 40; }},
            {"volume rounds half up", [&] { c.setVolume(40.5); }, "set volume=41",
             [&] { return c.volume() == 41; }},
            {"brightness step down at 3", [&] { c.stepBrightness(-5); }, "set brightness-5",
             [&] { return c.brightness() == 0; }},
            {"mute", [&] { c.setMute(true); }, "set mute=on", [&] { return c.mute(); }},
            {"freeze", [&] { c.setVideoFreeze(true); }, "set videofreeze=on",
             [&] { return c.videoFreeze(); }},
            {"shade", [&] { c.setScreenShade(false); }, "set screenshade=off",
             [&] { return !c.screenShade(); }},
            {"custom trimmed", [&] { c.sendCustom("  get volume \r\n"); }, "get volume",
             [] { return true; }},
        };
        for (const Row& row : rows) {
            row.action();
            QVERIFY2(!c.queue().isEmpty() && c.queue().last().text == row.command, row.name);
            QVERIFY2(row.localCheck(), row.name);
        }

        // Two quick steps: one waiting command, the local value moved twice.
        c.apply("volume", "50", false);
        c.stepVolume(5);
        c.stepVolume(5);
        QCOMPARE(c.volume(), 60.0);
        int volumeCommands = 0;
        for (const SmartCommand& command : c.queue())
            volumeCommands += command.text.startsWith("set volume") ? 1 : 0;
        QCOMPARE(volumeCommands, 1);
    }

    void factoryResetNeedsTheSerialNumber()
    {
        LineFixture f;
        SerialSettings slow;
        slow.responseTimeout = 30;
        DisplayController& c = f.connect(slow);
        QTRY_VERIFY(c.current().has_value());
        const qsizetype queued = c.queue().size();
        c.factoryReset();
        QCOMPARE(c.queue().size(), queued);
        QCOMPARE(f.logTexts(Kind::error),
                 QStringList{"Werksreset braucht die Seriennummer \u2013 erst "
                             "\u201EGer\u00E4teinfo abfragen\u201C."});
        c.apply("serialnum", "SIM0000001", true);
        c.factoryReset();
        QCOMPARE(c.queue().last().text, QStringLiteral("set factoryreset=SIM0000001"));
    }

    void rawSending()
    {
        LineFixture f;
        f.display.setScript(answerEverything);
        DisplayController& c = f.connect();
        QVERIFY(f.waitUntilIdle());
        c.setRawMode(true);
        const qint64 tx = c.txCount();
        f.display.received.clear();

        c.sendCustom("  get volume \r\n");
        QTRY_COMPARE(f.display.received, QByteArray("  get volume \r\n\r"));
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("  get volume \r\n"));
        QCOMPARE(c.txCount(), tx + 16);

        c.sendHex("0x48,0x61");
        QTRY_VERIFY(f.display.received.endsWith("Ha"));
        QCOMPARE(f.logTexts(Kind::tx).last(), QStringLiteral("Ha"));

        c.sendHex("4G");
        QCOMPARE(f.logTexts(Kind::error).last(), QStringLiteral("Ung\u00FCltige Hex-Eingabe: 4G"));

        c.sendRaw({});
        QCOMPARE(c.txCount(), tx + 18);
        QCOMPARE(f.logTexts(Kind::tx).last(), QString());
    }

    void withoutPort()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        // An action only changes the local copy.
        c.setMute(true);
        QVERIFY(c.mute());
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
