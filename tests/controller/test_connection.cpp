// The connection lifecycle end to end: the simulators, pseudo-terminals standing in for
// USB adapters, and the stable symlink a udev by-id name gives an adapter.
#include "LineFixture.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <cerrno>
#include <cstring>

namespace {

const QString lostPrefix = QStringLiteral("Verbindung zum Wandler abgerissen: ");
const QString waitingText =
    QStringLiteral("Warte auf den Wandler – verbindet sich selbst, sobald er wieder da ist");
const QString reconnectedText =
    QStringLiteral("Wandler wieder da – automatisch neu verbunden (Versuch 1)");
const QString gaveUpText = QStringLiteral(
    "Wandler ist da, lässt sich aber nicht öffnen – belegt ein anderes Programm den Port?");
const QString lineGone = QStringLiteral("Schnittstelle getrennt");

QString systemText(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

QString openFailedText(const QString& path, int errnum)
{
    return path + QStringLiteral(" lässt sich nicht öffnen: ") + systemText(errnum);
}

int countStartingWith(const QStringList& texts, const QString& prefix)
{
    return int(std::count_if(texts.begin(), texts.end(),
                             [&](const QString& text) { return text.startsWith(prefix); }));
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
        f.connectTo(SerialPortInfo::smartSimulatorPath);
        QCOMPARE(c.connection(), ConnectionState::connected());
        QCOMPARE(c.wantedPath(), std::nullopt);

        const QStringList info = f.logTexts(Kind::info);
        QCOMPARE(info.size(), 2);
        const QString started = QStringLiteral("Simulator gestartet auf ");
        QVERIFY2(info[0].startsWith(started + "/dev/pts/"), qPrintable(info[0]));
        const QString device = info[0].mid(started.size());
        QCOMPARE(info[1], "Verbunden mit " + device + " · 19200 · 8N1 · Flusssteuerung Keine");

        QVERIFY(f.waitUntilIdle());
        QCOMPARE(f.logTexts(Kind::error), QStringList());
        QCOMPARE(c.modelNumber(), model);
        QCOMPARE(c.series(), series);
        QCOMPARE(c.serialNumber(), QStringLiteral("SIM0000001"));
        QCOMPARE(c.power(), std::optional(PowerState::on));
        QCOMPARE(c.volume(), 30.0);
        QVERIFY(c.displayResponding());

        // A power change shows only when the display's reply says so.
        c.setPower(PowerState::standby);
        QCOMPARE(c.power(), std::optional(PowerState::on));
        QTRY_COMPARE_WITH_TIMEOUT(c.power(), std::optional(PowerState::standby), waitMs);
    }

    void loopbackSimulatorSendsNoQueries()
    {
        ControllerFixture f;
        DisplayController& c = f.make();
        f.connectTo(SerialPortInfo::loopbackSimulatorPath);
        QCOMPARE(c.connection(), ConnectionState::connected());
        QVERIFY(c.rawMode());
        QVERIFY(c.queue().isEmpty());
        QVERIFY(!c.current());

        const QStringList info = f.logTexts(Kind::info);
        // Whole-line patterns.
        const auto at = [&](const char* prefix) {
            return info.indexOf(QRegularExpression(prefix));
        };
        const auto started = at("Simulator gestartet auf /dev/pts/.*");
        const auto connected = at("Verbunden mit /dev/pts/.*");
        const auto rawNote = at("Rohdaten-Modus aktiv – keine Abfragen an das Display");
        QVERIFY2(0 <= started && started < connected && connected < rawNote,
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
        f.connectTo(link.path());

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
        f.connectTo(adapter.pty.slavePath());
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
        f.connectTo(link.path());
        QCOMPARE(c.connection(), ConnectionState::connected());
        QVERIFY(f.waitUntilIdle());

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
        QCOMPARE(f.logTexts(Kind::info).count(waitingText), 1);
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

        QCOMPARE(f.logTexts(Kind::info).count(reconnectedText), 1);
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
            f.connectTo(adapter->pty.slavePath());
            QCOMPARE(c.connection(), ConnectionState::connected());
            f.scanner->unlist(adapter->pty.slavePath());
            adapter->pull();
        }
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::failed(lineGone), waitMs);
        c.handleConnectionLost(std::nullopt); // a second report of the same loss
        QCOMPARE(c.dropouts().size(), 1);
        QCOMPARE(countStartingWith(f.logTexts(Kind::error), lostPrefix), 1);
        QCOMPARE(f.logTexts(Kind::info).count(waitingText), 0);
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

        // Still waiting, so the next plug event starts a new series, until the user stops
        // waiting ("Nicht mehr warten").
        f.hotplug->fire();
        QVERIFY(c.isReconnecting());
        const int entries = int(c.log().size());
        c.disconnect();
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
        f.connectTo(adapter.pty.slavePath());
        QVERIFY(f.waitUntilIdle());

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
        QCOMPARE(f.logTexts(Kind::info).count(waitingText), 1);
        QVERIFY(c.isReconnecting());
        QTRY_COMPARE_WITH_TIMEOUT(c.connection(), ConnectionState::connected(), waitMs);
        QCOMPARE(f.logTexts(Kind::info).count(reconnectedText), 1);
        QCOMPARE(c.reconnects(), 1);
    }
};

QTEST_GUILESS_MAIN(ConnectionTest)
#include "test_connection.moc"
