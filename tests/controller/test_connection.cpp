// The connection lifecycle end to end: the simulators, pseudo-terminals standing in for
// USB adapters, and the stable symlink a udev by-id name gives an adapter.
#include "ControllerFixture.h"
#include "Pty.h"
#include "ScriptedDisplay.h"
#include "TestAdapter.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <unistd.h>

using Kind = LogEntry::Kind;

namespace {

const QString lostPrefix = QStringLiteral("Verbindung zum Wandler abgerissen: ");
const QString waitingText =
    QStringLiteral("Warte auf den Wandler – verbindet sich selbst, sobald er wieder da ist");
const QString reconnectedText =
    QStringLiteral("Wandler wieder da – automatisch neu verbunden (Versuch 1)");
const QString gaveUpText = QStringLiteral(
    "Wandler ist da, lässt sich aber nicht öffnen – belegt ein anderes Programm den Port?");
const QString lineGone = QStringLiteral("Schnittstelle getrennt");

// Generous: CI is a noisy two-core machine, also under sanitizers.
constexpr int waitMs = 10000;

QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

QString openFailedText(const QString& path, int errnum)
{
    return path + QStringLiteral(" lässt sich nicht öffnen: ") + systemText(errnum);
}

int occurrences(const QStringList& texts, const QString& text)
{
    return int(texts.count(text));
}

int countStartingWith(const QStringList& texts, const QString& prefix)
{
    return int(std::count_if(texts.begin(), texts.end(),
                             [&](const QString& text) { return text.startsWith(prefix); }));
}

// The start-up queries are through: the empty command, four information and nine
// status queries were sent, and the last one has had its answer.
bool startupDone(const ControllerFixture& f)
{
    return f.logTexts(Kind::tx).size() >= 14 && f.controller->queue().isEmpty() &&
           !f.controller->current();
}

// Lists the port, as the scan finds a plugged adapter, and connects to it.
void connectThrough(ControllerFixture& f, const QString& path)
{
    f.scanner->list(path);
    f.controller->setSelectedPath(path);
    f.controller->connect();
}

} // namespace

class ConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }

    void smartSimulatorAnswersTheStartupQueries_data()
    {
        QTest::addColumn<bool>("rx");
        QTest::addColumn<QString>("model");
        QTest::newRow("QX") << false << "SBID-QX286";
        QTest::newRow("RX") << true << "SBID-RX086";
    }
    void smartSimulatorAnswersTheStartupQueries()
    {
        QFETCH(bool, rx);
        QFETCH(QString, model);
        const DisplaySeries series = rx ? DisplaySeries::rx : DisplaySeries::qx;
        ControllerFixture f;
        DisplayController& c = f.make();
        c.setSeries(series);
        c.setSelectedPath(SerialPortInfo::smartSimulatorPath);
        c.connect();
        QCOMPARE(c.connection(), ConnectionState::connected());
        QCOMPARE(c.wantedPath(), std::nullopt);

        const QStringList info = f.logTexts(Kind::info);
        QCOMPARE(info.size(), 2);
        const QString started = QStringLiteral("Simulator gestartet auf ");
        QVERIFY2(info[0].startsWith(started + "/dev/pts/"), qPrintable(info[0]));
        const QString device = info[0].mid(started.size());
        QCOMPARE(info[1], "Verbunden mit " + device + " · 19200 · 8N1 · Flusssteuerung Keine");

        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);
        const QStringList expectedTx = {
            "(Zeilenende – Prompt anfordern)",
            "get modelnum",
            "get serialnum",
            "get partnum",
            "get fwversion",
            "get powerstate",
            "get input",
            "get volume",
            "get mute",
            "get micmute",
            "get brightness",
            "get videofreeze",
            "get screenshade",
            "get statereporting",
        };
        QCOMPARE(f.logTexts(Kind::tx).mid(0, expectedTx.size()), expectedTx);
        QCOMPARE(f.logTexts(Kind::error), QStringList());

        QCOMPARE(c.modelNumber(), model);
        QCOMPARE(c.series(), series);
        QCOMPARE(c.serialNumber(), QStringLiteral("SIM0000001"));
        QCOMPARE(c.partNumber(), QStringLiteral("1033157 REV A"));
        QCOMPARE(c.firmware(), QStringLiteral("1.07.0021"));
        QCOMPARE(c.power(), std::optional(PowerState::on));
        QCOMPARE(c.input(), std::optional(QStringLiteral("hdmi1")));
        QCOMPARE(c.volume(), 30.0);
        QCOMPARE(c.brightness(), 80.0);
        QCOMPARE(c.mute(), false);
        QVERIFY(c.displayResponding());
    }

    void actionsChangeTheSimulatedDisplay()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.setSelectedPath(SerialPortInfo::smartSimulatorPath);
        c.connect();
        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);

        const auto idleAfter = [&](const QString& command) {
            return f.logTexts(Kind::tx).contains(command) && c.queue().isEmpty() && !c.current();
        };
        // Forgets the local copy of a level and asks the display, so that only the
        // display's answer can bring the value back.
        const auto askAgain = [&](const QString& name) {
            f.clock->advance(3); // past the hold-off of the set action
            c.apply(name, QStringLiteral("0"), false);
            c.refreshAll();
        };

        c.setVolume(55);
        QTRY_VERIFY_WITH_TIMEOUT(idleAfter("set volume=55"), waitMs);
        askAgain(QStringLiteral("volume"));
        QTRY_COMPARE_WITH_TIMEOUT(c.volume(), 55.0, waitMs);

        c.stepBrightness(5);
        QCOMPARE(c.brightness(), 85.0);
        QTRY_VERIFY_WITH_TIMEOUT(idleAfter("set brightness+5"), waitMs);
        askAgain(QStringLiteral("brightness"));
        QTRY_COMPARE_WITH_TIMEOUT(c.brightness(), 85.0, waitMs);

        c.setPower(PowerState::standby);
        QCOMPARE(c.power(), std::optional(PowerState::on)); // only the reply changes it
        QTRY_COMPARE_WITH_TIMEOUT(c.power(), std::optional(PowerState::standby), waitMs);
        QCOMPARE(f.logTexts(Kind::error), QStringList());
    }

    void loopbackSimulatorSendsNoQueries()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        c.setSelectedPath(SerialPortInfo::loopbackSimulatorPath);
        c.connect();
        QCOMPARE(c.connection(), ConnectionState::connected());
        QVERIFY(c.rawMode());
        QVERIFY(c.queue().isEmpty());
        QVERIFY(!c.current());

        const QStringList info = f.logTexts(Kind::info);
        const auto at = [&](const QString& prefix) {
            return std::find_if(info.begin(), info.end(),
                                [&](const QString& text) { return text.startsWith(prefix); }) -
                   info.begin();
        };
        const auto started = at("Simulator gestartet auf /dev/pts/");
        const auto connected = at("Verbunden mit /dev/pts/");
        const auto rawNote = at("Rohdaten-Modus aktiv – keine Abfragen an das Display");
        QVERIFY2(started < connected && connected < rawNote && rawNote < info.size(),
                 qPrintable(info.join(u'\n')));

        // Bytes of our own, echoed: anything the pump had sent before would be in the
        // log ahead of them.
        c.sendRaw("ping");
        QTRY_VERIFY_WITH_TIMEOUT(f.logTexts(Kind::rx).join(QString()).contains("ping"), waitMs);
        QCOMPARE(f.logTexts(Kind::tx), QStringList{"ping"});
        QCOMPARE(c.txCount(), 4);
    }

    void emptySelectionDoesNothing()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        QCOMPARE(c.selectedPath(), QString());
        QSignalSpy logged(&c, &DisplayController::logAppended);
        QSignalSpy connection(&c, &DisplayController::connectionChanged);
        QSignalSpy wanted(&c, &DisplayController::wantedPathChanged);
        c.connect();
        QCOMPARE(logged.size(), 0);
        QCOMPARE(connection.size(), 0);
        QCOMPARE(wanted.size(), 0);
        QCOMPARE(c.connection(), ConnectionState::disconnected());
    }

    void portThatCannotBeOpenedFails()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        AdapterLink link; // listed, but nothing behind the name
        connectThrough(f, link.path());

        const QString text = openFailedText(link.path(), ENOENT);
        QCOMPARE(c.connection(), ConnectionState::failed(text));
        QCOMPARE(f.logTexts(Kind::error), QStringList{text});
        QCOMPARE(c.wantedPath(), std::optional(link.path()));
        QVERIFY(!c.isReconnecting()); // no retry after a manual connect
        QCOMPARE(countStartingWith(f.logTexts(), "Verbunden mit"), 0);
    }

    void userDisconnects()
    {
        Adapter adapter;
        QVERIFY(adapter.pty.isValid());
        ControllerFixture f;
        DisplayController& c = f.make();
        connectThrough(f, adapter.pty.slavePath());
        QCOMPARE(c.connection(), ConnectionState::connected());
        QCOMPARE(c.wantedPath(), std::optional(adapter.pty.slavePath()));
        QCOMPARE(f.store.settings().value("lastPortPath").toString(), adapter.pty.slavePath());

        c.disconnect();
        QCOMPARE(c.connection(), ConnectionState::disconnected());
        QCOMPARE(c.wantedPath(), std::nullopt);
        QCOMPARE(f.logTexts(Kind::info).last(), QStringLiteral("Verbindung getrennt"));
        QCOMPARE(c.dropouts().size(), 0);
    }

    void pulledAdapterIsAwaitedAndReconnected_data()
    {
        QTest::addColumn<bool>("watcherFirst");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("plugEvents"); // hot-plug events when it comes back
        const QString portReason = QStringLiteral("Gegenstelle getrennt");
        QTest::newRow("port reports first") << false << portReason << 1;
        QTest::newRow("watcher reports first") << true << "Wandler vom USB getrennt" << 1;
        QTest::newRow("plug event reported twice") << false << portReason << 2;
    }
    void pulledAdapterIsAwaitedAndReconnected()
    {
        QFETCH(bool, watcherFirst);
        QFETCH(QString, reason);
        QFETCH(int, plugEvents);
        ControllerFixture f;
        DisplayController& c = f.make();
        // An idle line: no write can find the loss before the port's own report does.
        c.setPollingEnabled(false);
        AdapterLink link;
        auto adapter = std::make_unique<Adapter>();
        QVERIFY(link.pointTo(adapter->pty.slavePath()));
        connectThrough(f, link.path());
        QCOMPARE(c.connection(), ConnectionState::connected());
        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);

        f.scanner->unlist(link.path());
        if (watcherFirst) {
            f.hotplug->fire();
            QCOMPARE(c.connection(), ConnectionState::waiting());
            adapter->pull();
        } else {
            adapter->pull();
            QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::waiting(), waitMs);
            f.hotplug->fire(); // the watcher's late report of the same loss
        }
        QCOMPARE(c.dropouts().size(), 1);
        QCOMPARE(f.logTexts(Kind::error), QStringList{lostPrefix + reason});
        QCOMPARE(occurrences(f.logTexts(Kind::info), waitingText), 1);
        QCOMPARE(c.connection(), ConnectionState::waiting());
        QCOMPARE(c.wantedPath(), std::optional(link.path()));
        QVERIFY(!c.isReconnecting()); // nothing to connect to yet

        Adapter replugged;
        QVERIFY(link.pointTo(replugged.pty.slavePath()));
        f.scanner->list(link.path());
        for (int i = 0; i < plugEvents; ++i)
            f.hotplug->fire();
        QVERIFY(c.isReconnecting());
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::connected(), waitMs);

        QCOMPARE(occurrences(f.logTexts(Kind::info), reconnectedText), 1);
        QCOMPARE(c.reconnects(), 1);
        QVERIFY(!c.isReconnecting());
        QCOMPARE(c.selectedPath(), link.path());
        QCOMPARE(countStartingWith(f.logTexts(Kind::info), "Verbunden mit " + link.path()), 2);
        QCOMPARE(c.dropouts().size(), 1);
        // The new line is live: the start-up queries reach the replugged adapter.
        QTRY_VERIFY_WITH_TIMEOUT(replugged.display->lines.contains("get modelnum"), waitMs);
    }

    void lossWithoutWaitingFails_data()
    {
        QTest::addColumn<bool>("simulator");
        QTest::newRow("reconnection off") << false;
        QTest::newRow("simulator, reconnection on") << true;
    }
    void lossWithoutWaitingFails()
    {
        QFETCH(bool, simulator);
        ControllerFixture f;
        DisplayController& c = f.make();
        std::optional<Adapter> adapter;
        if (simulator) {
            c.setSelectedPath(SerialPortInfo::smartSimulatorPath);
            c.connect();
            QCOMPARE(c.connection(), ConnectionState::connected());
            c.handleConnectionLost(QStringLiteral("Gegenstelle getrennt")); // its port's report
        } else {
            c.setAutoReconnect(false);
            adapter.emplace();
            connectThrough(f, adapter->pty.slavePath());
            QCOMPARE(c.connection(), ConnectionState::connected());
            f.scanner->unlist(adapter->pty.slavePath());
            adapter->pull();
        }
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::failed(lineGone), waitMs);
        c.handleConnectionLost(std::nullopt); // a second report of the same loss
        QCOMPARE(c.dropouts().size(), 1);
        QCOMPARE(countStartingWith(f.logTexts(Kind::error), lostPrefix), 1);
        QCOMPARE(occurrences(f.logTexts(Kind::info), waitingText), 0);
        QVERIFY(!c.isReconnecting());

        f.hotplug->fire(); // nothing is awaited
        QCOMPARE(c.connection(), ConnectionState::failed(lineGone));
        QVERIFY(!c.isReconnecting());
    }

    void listedAdapterThatCannotBeOpenedEndsTheSeries()
    {
        ControllerFixture f;
        AdapterLink link;
        QVERIFY(link.pointTo(QStringLiteral("/nonexistent/ttyUSB7")));
        // Remembered and absent at start: the controller waits for it.
        f.store.settings().setValue("lastPortPath", link.path());
        DisplayController& c = f.make(true);
        QCOMPARE(c.connection(), ConnectionState::waiting());

        f.scanner->list(link.path());
        f.hotplug->fire();
        QVERIFY(c.isReconnecting());
        const QString openFailed = openFailedText(link.path(), ENOENT);
        QTRY_VERIFY_WITH_TIMEOUT(f.logTexts(Kind::error).contains(openFailed), waitMs);
        f.hotplug->fire(); // a plug event during the series does not start it over
        // Six attempts take about 4.4 s.
        QTRY_VERIFY_WITH_TIMEOUT(f.logTexts(Kind::error).contains(gaveUpText), 15000);

        QStringList expected(6, openFailed);
        expected.append(gaveUpText);
        QCOMPARE(f.logTexts(Kind::error), expected);
        QCOMPARE(c.connection(), ConnectionState::waiting());
        QVERIFY(!c.isReconnecting());
        QCOMPARE(c.reconnects(), 0);

        // Still waiting, so the next plug event starts a new series.
        f.hotplug->fire();
        QVERIFY(c.isReconnecting());
        c.disconnect();
        QVERIFY(!c.isReconnecting());
    }

    void userStopsWaiting()
    {
        ControllerFixture f;
        AdapterLink link;
        QVERIFY(link.pointTo(QStringLiteral("/nonexistent/ttyUSB7")));
        f.store.settings().setValue("lastPortPath", link.path());
        DisplayController& c = f.make(true);
        f.scanner->list(link.path());
        f.hotplug->fire();
        QVERIFY(c.isReconnecting());

        const int entries = int(c.log().size());
        c.disconnect(); // "Nicht mehr warten"
        QCOMPARE(c.connection(), ConnectionState::disconnected());
        QCOMPARE(c.wantedPath(), std::nullopt);
        QVERIFY(!c.isReconnecting());
        QCOMPARE(int(c.log().size()), entries); // no port was open: nothing to report

        // The adapter comes back, usable this time: nobody waits for it any more.
        Adapter adapter;
        QVERIFY(link.pointTo(adapter.pty.slavePath()));
        f.hotplug->fire();
        QVERIFY(!c.isReconnecting());
        QTest::qWait(600); // past the moment of a first attempt
        QCOMPARE(c.connection(), ConnectionState::disconnected());
        QCOMPARE(int(c.log().size()), entries);
    }

    void writeErrors_data()
    {
        QTest::addColumn<int>("errnum");
        QTest::addColumn<bool>("deviceGone");
        QTest::newRow("EIO") << EIO << true;
        QTest::newRow("ENXIO") << ENXIO << true;
        QTest::newRow("EAGAIN") << EAGAIN << false;
    }
    void writeErrors()
    {
        QFETCH(int, errnum);
        QFETCH(bool, deviceGone);
        Adapter adapter;
        ControllerFixture f;
        DisplayController& c = f.make();
        connectThrough(f, adapter.pty.slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(startupDone(f), waitMs);

        c.handleWriteError(SerialPortError::writeFailed(errnum));
        if (!deviceGone) {
            QCOMPARE(f.logTexts(Kind::error),
                     QStringList{"Senden fehlgeschlagen: " + systemText(errnum)});
            QCOMPARE(c.connection(), ConnectionState::connected());
            QCOMPARE(c.dropouts().size(), 0);
            QVERIFY(!c.isReconnecting());
            return;
        }
        // Handled like a pulled adapter; this one is still listed, so it comes back.
        QCOMPARE(c.dropouts().size(), 1);
        QCOMPARE(f.logTexts(Kind::error), QStringList{lostPrefix + systemText(errnum)});
        QCOMPARE(c.connection(), ConnectionState::waiting());
        QCOMPARE(occurrences(f.logTexts(Kind::info), waitingText), 1);
        QVERIFY(c.isReconnecting());
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::connected(), waitMs);
        QCOMPARE(occurrences(f.logTexts(Kind::info), reconnectedText), 1);
        QCOMPARE(c.reconnects(), 1);
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "test_connection.moc"
