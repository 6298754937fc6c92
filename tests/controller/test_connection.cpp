// Connecting, losses, waiting for the adapter and retry series, on fake lines.
#include "ControllerFixture.h"

#include <QRegularExpression>
#include <QSignalSpy>

namespace {

const QString adapter = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R-if00-port0");
const QString lostPrefix = QStringLiteral("Verbindung zum Wandler abgerissen: ");
const QString waitingText =
    QStringLiteral("Warte auf den Wandler – verbindet sich selbst, sobald er wieder da ist");
const QString reconnectedText =
    QStringLiteral("Wandler wieder da – automatisch neu verbunden (Versuch %1)");
const QString lineGone = QStringLiteral("Schnittstelle getrennt");

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    // Also the adapter's latency timer, and ModemManager's probes among the first bytes.
    void connectAndDisconnect()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        QSignalSpy states(&c.line(), &LineSession::connectionChanged);
        c.connectLine(); // nothing selected: nothing happens
        QCOMPARE(states.size(), 0);
        QVERIFY(c.log().entries().isEmpty());

        f.doctor->facts.latencyTimerMs = 16;
        f.doctor->facts.modemManagerRunning = true;
        f.connectTo(adapter);
        QCOMPARE(c.line().connection(), ConnectionState::connected());
        QCOMPARE(states.size(), 2); // connecting, connected
        QCOMPARE(f.logTexts(Kind::info),
                 QStringList{"Verbunden mit " + adapter + " · 19200 · 8N1 · Flusssteuerung Keine"});
        QCOMPARE(c.line().adapterLatencyTimerMs(), std::optional(16));
        f.lines.receive("\r\nFORMAT\r>");
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        f.lines.receive("AT+GCAP\r");
        f.lines.receive("ATZ\r");
        QCOMPARE(f.logTexts(Kind::error).filter("ModemManager prüft den Port").size(), 1);

        c.disconnectLine();
        QCOMPARE(c.line().connection(), ConnectionState::disconnected());
        QCOMPARE(f.logTexts(Kind::info).last(), QStringLiteral("Verbindung getrennt"));
        QCOMPARE(c.line().adapterLatencyTimerMs(), std::nullopt);
        QVERIFY(c.line().dropouts().isEmpty());
        const qint64 rx = c.log().counters().rx;
        f.lines.receive("late"); // a closed line delivers nothing
        QCOMPARE(c.log().counters().rx, rx);
    }

    void openThatFailsOrTakesItsTime()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        f.lines.openFailure = LineError::openFailed(adapter, EBUSY);
        f.connectTo(adapter);
        const QString busy =
            adapter + " ist belegt – läuft noch ein Terminalprogramm (screen, PuTTY, CoolTerm)?";
        QCOMPARE(c.line().connection(), ConnectionState::failed(busy));
        QCOMPARE(f.logTexts(Kind::error), QStringList{busy});
        QCOMPARE(c.line().wantedPath(), std::optional(adapter));
        f.clock->advance(10); // no retry after a manual connect
        QCOMPARE(f.lines.devices.size(), 1);

        // The cause on this computer, once, in German whatever the system's language.
        f.doctor->cause = QStringLiteral("Sie sind nicht in der Gruppe „dialout“.");
        f.lines.openFailure = LineError::openFailed(adapter, EACCES);
        c.connectLine();
        const QString refused = adapter + " lässt sich nicht öffnen: keine Berechtigung – Sie "
                                          "sind nicht in der Gruppe „dialout“.";
        QCOMPARE(c.line().connection(), ConnectionState::failed(refused));
        QCOMPARE(f.logTexts(Kind::error).last(), refused);

        // A line slow to open (a network line) is "connecting"; disconnecting ends the attempt.
        f.lines.openFailure.reset();
        f.lines.openLater = true;
        c.connectLine();
        QCOMPARE(c.line().connection(), ConnectionState::connecting());
        f.lines.finishOpen();
        QCOMPARE(c.line().connection(), ConnectionState::connected());
        f.clock->settle();
        QCOMPARE(f.lines.lines, QStringList{""});

        c.connectLine(); // reopen, and give up before it is open
        QCOMPARE(c.line().connection(), ConnectionState::connecting());
        c.disconnectLine();
        f.lines.finishOpen();
        QCOMPARE(c.line().connection(), ConnectionState::disconnected());
        QCOMPARE(f.logTexts(Kind::info).count("Verbindung getrennt"), 0); // nothing was open
    }

    void pulledAdapterIsAwaitedAndReconnected()
    {
        for (const bool watcherFirst : {false, true}) {
            const QString reason =
                watcherFirst ? "Wandler vom USB getrennt" : "Gegenstelle getrennt";
            ControllerFixture f;
            DisplayController& c = f.make();
            f.connectTo(adapter);

            f.scanner->unlist(adapter);
            if (watcherFirst)
                f.hotplug->fire();
            f.lines.lose("Gegenstelle getrennt");
            f.hotplug->fire(); // the other's late report of the same loss
            QCOMPARE(c.line().connection(), ConnectionState::waiting());
            QCOMPARE(c.line().dropouts().size(), 1);
            QCOMPARE(f.logTexts(Kind::error), QStringList{lostPrefix + reason});
            QCOMPARE(f.logTexts(Kind::info).count(waitingText), 1);
            QCOMPARE(c.line().wantedPath(), std::optional(adapter));
            f.clock->advance(60); // nothing to connect to yet
            QCOMPARE(f.lines.devices.size(), 1);

            f.scanner->list(adapter);
            f.hotplug->fire();
            f.clock->advance(0.399);
            QCOMPARE(c.line().connection(), ConnectionState::waiting());
            f.clock->advance(0.001); // the first attempt, 0.4 s after the plug
            QCOMPARE(c.line().connection(), ConnectionState::connected());
            f.clock->settle();
            QCOMPARE(f.logTexts(Kind::info).count(reconnectedText.arg(1)), 1);
            QCOMPARE(c.line().reconnects(), 1);
            QCOMPARE(c.ports().selectedPath(), adapter);
            QCOMPARE(f.lines.devices, QStringList({adapter, adapter}));
            QCOMPARE(f.lines.lines.count(""), 2); // the new line gets the start-up queries
        }
    }

    void lossWithoutWaitingFails()
    {
        for (const bool simulator : {false, true}) { // reconnection off, or the loopback simulator
            ControllerFixture f;
            DisplayController& c = f.make();
            c.line().setAutoReconnect(simulator);
            f.connectTo(simulator ? SerialPortInfo::loopbackSimulatorPath : adapter);
            QCOMPARE(c.line().connection(), ConnectionState::connected());
            QCOMPARE(c.pump().rawMode(),
                     simulator); // the loopback simulator only echoes: no queries
            f.lines.lose("Gegenstelle getrennt");
            QCOMPARE(c.line().connection(), ConnectionState::failed(lineGone));
            f.hotplug->fire(); // nothing is awaited
            f.clock->advance(10);
            QCOMPARE(c.line().connection(), ConnectionState::failed(lineGone));
            QCOMPARE(c.line().dropouts().size(), 1);
            QCOMPARE(f.logTexts(Kind::error).filter(lostPrefix).size(), 1);
            QCOMPARE(f.logTexts(Kind::info).count(waitingText), 0);
            QCOMPARE(f.lines.devices.size(), 1);
        }
    }

    // Six attempts 0.4 s, then 0.8 s apart; only an adapter still listed at the last one
    // earns the message that it cannot be opened.
    void seriesThatFails()
    {
        for (const bool listedAtTheEnd : {true, false}) { // busy, or gone again
            ControllerFixture f;
            f.store.settings().setValue("lastPortPath", adapter);
            DisplayController& c = f.make(true); // remembered and absent: waiting for it
            f.clock->settle();
            QCOMPARE(c.line().connection(), ConnectionState::waiting());

            f.lines.openFailure = LineError::openFailed(adapter, EBUSY);
            f.scanner->list(adapter);
            f.hotplug->fire();
            f.clock->advance(0.4);
            QCOMPARE(f.lines.devices.size(), 1);
            f.hotplug->fire(); // a plug event during the series does not start it over
            f.clock->advance(0.8 * 4);
            QCOMPARE(f.lines.devices.size(), 5);
            if (!listedAtTheEnd)
                f.scanner->unlist(adapter);
            f.clock->advance(0.8);
            QCOMPARE(f.lines.devices.size(), listedAtTheEnd ? 6 : 5);
            QCOMPARE(
                f.logTexts(Kind::error)
                    .count(QStringLiteral("Wandler ist da, lässt sich aber nicht öffnen – belegt "
                                          "ein anderes Programm den Port?")),
                listedAtTheEnd ? 1 : 0);
            QCOMPARE(c.line().connection(), ConnectionState::waiting());
            f.clock->advance(60);
            QCOMPARE(f.lines.devices.size(), listedAtTheEnd ? 6 : 5);

            // Still waiting: the next plug starts a new series, until the user stops waiting.
            f.scanner->list(adapter);
            f.hotplug->fire();
            f.clock->advance(0.4);
            QCOMPARE(f.lines.devices.size(), listedAtTheEnd ? 7 : 6);
            const int entries = c.log().entries().size();
            c.disconnectLine();
            QCOMPARE(c.line().connection(), ConnectionState::disconnected());
            QCOMPARE(c.line().wantedPath(), std::nullopt);
            QCOMPARE(c.log().entries().size(), entries); // no line was open: nothing to report
            f.lines.openFailure.reset();
            f.hotplug->fire();
            f.clock->advance(10); // nobody waits for it any more
            QCOMPARE(c.line().connection(), ConnectionState::disconnected());
        }
    }

    // A gateway whose serial device is missing takes every connection, says so and hangs up:
    // one dropout, attempts backing off (at most a dozen a minute), its words a note once per
    // series, never a display's answer, nothing of USB. Back once the display answers.
    void gatewayWithoutDisplay()
    {
        for (const QByteArray message : {"Device open failure: Value or file not found\r\n", ""}) {
            ControllerFixture f;
            DisplayController& c = f.make();
            const QString gateway = QStringLiteral("tcp://127.0.0.1:4001");
            f.lines.afterOpen = [&] {
                if (!message.isEmpty())
                    f.lines.receive(message);
                f.lines.lose("Gegenstelle getrennt");
            };
            f.connectTo(gateway);
            f.clock->advance(60);
            QCOMPARE(c.line().dropouts().size(), 1);
            QCOMPARE(c.line().reconnects(), 0);
            QVERIFY2(f.lines.devices.size() <= 1 + 12,
                     qPrintable(QString::number(f.lines.devices.size())));
            QVERIFY(f.lines.devices.size() >= 1 + 4);
            QVERIFY(c.line().connection().is(ConnectionState::Case::waiting));
            QCOMPARE(f.logTexts(Kind::info).filter("Gateway meldet: Device open failure").size(),
                     message.isEmpty() ? 0 : 1);
            QCOMPARE(f.logTexts(Kind::error).filter("Display meldet").size(), 0);
            QCOMPARE(f.logTexts().filter("Wandler").size(), 0);
            QCOMPARE(f.logTexts().filter("Gateway wieder erreichbar").size(), 0);
            QCOMPARE(f.logTexts(Kind::error).filter(QRegularExpression("^Versuch \\d+: ")).size(),
                     f.lines.devices.size() - 1);

            // The serial device is back: the next attempt's display answers.
            f.lines.afterOpen = nullptr;
            f.lines.display = answerEverything;
            f.clock->advance(31);
            QVERIFY(c.line().connection().is(ConnectionState::Case::connected));
            QCOMPARE(c.line().reconnects(), 1);
            QCOMPARE(f.logTexts(Kind::info).filter("Gateway wieder erreichbar").size(), 1);
            QCOMPARE(c.line().dropouts().size(), 1);
        }
    }

    // Another port picked while a series runs ends the series; the next loss starts its own.
    void seriesEndsWhenTheTargetChanges()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        f.connectTo(adapter);
        f.lines.lose("Gegenstelle getrennt"); // still listed: the series starts at once
        QCOMPARE(c.line().connection(), ConnectionState::waiting());
        const QString other = QStringLiteral("/dev/ttyUSB1");
        f.connectTo(other);
        QCOMPARE(c.line().connection(), ConnectionState::connected());
        f.clock->advance(10);
        QCOMPARE(f.lines.devices, QStringList({adapter, other}));

        f.lines.lose("Gegenstelle getrennt");
        f.clock->advance(0.4);
        QCOMPARE(c.line().connection(), ConnectionState::connected());
        QCOMPARE(f.lines.devices, QStringList({adapter, other, other}));
        QCOMPARE(f.logTexts(Kind::info).count(reconnectedText.arg(1)), 1);
    }

    // Lost while a command, the test output or a loopback packet waits: none outlives the line.
    void lostInTheMiddleOfWork()
    {
        for (const QString work : {"command", "test", "loopback"}) {
            ControllerFixture f;
            DisplayController& c = f.connected();
            f.lines.display = {}; // silent from now on
            if (work == u"command") {
                c.pump().send("get volume");
                f.clock->settle();
                QVERIFY(c.pump().current().has_value());
            } else if (work == u"test") {
                f.setTestInterval(0.05);
                c.tester().startTest();
                f.clock->advance(0.1);
            } else {
                c.tester().startLoopback();
                f.clock->advance(0.1);
            }
            f.scanner->unlist("/dev/ttyUSB0"); // pulled: nothing to reconnect to
            f.lines.lose("Gegenstelle getrennt");
            QCOMPARE(c.line().connection(), ConnectionState::waiting());
            QVERIFY(!c.pump().current());
            QVERIFY(c.pump().queue().isEmpty());
            QVERIFY(!c.tester().testRunning());
            QVERIFY(!c.tester().loopbackRunning());
            const QByteArray written = f.lines.written;
            const LoopbackStats stats = c.tester().loopback();
            const qint64 sent = c.tester().testSentCount();
            f.clock->advance(10);
            QCOMPARE(c.log().counters().timeouts, 0);
            QCOMPARE(c.tester().testSentCount(), sent);
            QCOMPARE(c.tester().loopback(), stats);
            QCOMPARE(f.lines.written, written);
            if (work == u"test")
                QVERIFY(f.logTexts(Kind::info)
                            .contains(
                                QStringLiteral("Testausgabe gestoppt nach %1 Paketen").arg(sent)));
        }
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "test_connection.moc"
