#include "LineFixture.h"

#include <QElapsedTimer>

namespace {

SerialSettings withTiming(double responseTimeout, double interCommandDelay)
{
    SerialSettings settings;
    settings.responseTimeout = responseTimeout;
    settings.interCommandDelay = interCommandDelay;
    return settings;
}

QStringList texts(const QList<SmartCommand>& commands)
{
    QStringList list;
    for (const SmartCommand& command : commands)
        list.append(command.text);
    return list;
}

} // namespace

class CommandQueueTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void oneCommandAtATime()
    {
        LineFixture f;
        f.display.setScript(answerEverything);
        f.display.setAnswerDelay(15); // a display that takes its time
        f.connect(withTiming(5.0, 0.0));
        QVERIFY(f.waitUntilIdle());

        QStringList expected{""};
        for (const QString& name : SmartCommand::infoQueries() + SmartCommand::statusQueries())
            expected.append(SmartCommand::query(name));
        QCOMPARE(f.display.lines, expected);
        QVERIFY2(!f.display.overlapped, "a command went out before the prompt of the last one");
        QCOMPARE(f.controller->timeouts(), 0);
        QCOMPARE(f.controller->volume(), 30.0);
    }

    void setCommandsMergeInPlace()
    {
        LineFixture f; // silent: the first command stays on the line, the rest waits
        DisplayController& c = f.connect(withTiming(30.0, 0.05));
        QTRY_VERIFY(c.current().has_value());
        const QStringList startupQueue = texts(c.queue());

        c.send("set volume=10");
        c.send("set mute=on");
        c.send("set volume=30");
        QCOMPARE(texts(c.queue()), startupQueue + QStringList({"set volume=30", "set mute=on"}));
        c.send("set VOLUME+5"); // same setting, other spelling
        c.send("set mute=off");
        QCOMPARE(texts(c.queue()), startupQueue + QStringList({"set VOLUME+5", "set mute=off"}));
        c.send("get volume");
        c.send("get volume"); // queries are never merged
        QCOMPARE(c.queue().size(), startupQueue.size() + 4);
    }

    void silentDisplayTimesOut()
    {
        LineFixture f;
        DisplayController& c = f.connect(withTiming(0.3, 0.05));
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.display.lines.size(), 2, 5000);
        QVERIFY(clock.elapsed() >= 300); // the next command waits for the timeout
        QTRY_COMPARE_WITH_TIMEOUT(c.timeouts(), 2, 5000);
        const QString advice = QStringLiteral(
            " nach 0,3 s \u2013 Kabel (kein Nullmodem!), Baudrate, Raumsteuerung pr\u00FCfen.");
        QCOMPARE(f.logTexts(Kind::error).mid(0, 2),
                 QStringList({"Keine Antwort auf \u201E\u23CE\u201C" + advice,
                              "Keine Antwort auf \u201Eget modelnum\u201C" + advice}));
        QCOMPARE(f.logTexts(Kind::tx).value(0),
                 QStringLiteral("(Zeilenende \u2013 Prompt anfordern)"));
        QVERIFY(c.connection().is(ConnectionState::Case::connected));
    }

    void rawModeEndsTheWaitAtOnce()
    {
        LineFixture f;
        DisplayController& c = f.connect(withTiming(30.0, 0.05));
        QTRY_VERIFY(c.current().has_value());
        c.setRawMode(true);
        QVERIFY(!c.current());
        QVERIFY(c.queue().isEmpty());
        QTest::qWait(200);
        QCOMPARE(c.timeouts(), 0);
        QCOMPARE(f.display.lines.size(), 1);
        c.send("get volume"); // dropped in raw mode
        QVERIFY(c.queue().isEmpty());
    }

    void promptWhileIdleChangesNothing()
    {
        LineFixture f;
        f.display.setScript(answerEverything);
        DisplayController& c = f.connect(withTiming(5.0, 0.0));
        QVERIFY(f.waitUntilIdle());
        const int sent = f.logTexts(Kind::tx).size();
        f.display.write("\r\n>");
        QTRY_COMPARE(f.logTexts(Kind::rx).last(), QStringLiteral("\u240D\u240A>"));
        QCOMPARE(f.logTexts(Kind::tx).size(), sent);
        QVERIFY(!c.current());
        // The pump still works afterwards.
        c.send("get mute");
        QTRY_COMPARE(f.display.lines.last(), QStringLiteral("get mute"));
    }

    void settingsApplyToTheOpenLine()
    {
        LineFixture f;
        DisplayController& c = f.connect();
        QVERIFY(c.connection().is(ConnectionState::Case::connected));
        SerialSettings twoStopBits = c.settings();
        twoStopBits.stopBits = SerialSettings::StopBits::two;
        c.setSettings(twoStopBits);
        // Both ends of a pseudo-terminal share one set of line attributes (a pseudo-
        // terminal keeps stop bits, but not parity or character size).
        termios attributes{};
        QCOMPARE(tcgetattr(f.pty.master(), &attributes), 0);
        QVERIFY(attributes.c_cflag & CSTOPB);
    }
};

QTEST_GUILESS_MAIN(CommandQueueTest)
#include "test_command_queue.moc"
