#include "ControllerFixture.h"
#include "Pty.h"

#include <QSignalSpy>
#include <QTest>

class ControllerStateTest : public QObject {
    Q_OBJECT

private slots:
    void freshStoreGivesDefaults()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QCOMPARE(controller->settings(), SerialSettings::smartStandard());
        QCOMPARE(controller->pollingEnabled(), true);
        QCOMPARE(controller->pollingInterval(), 5.0);
        QCOMPARE(controller->series(), DisplaySeries::qx);
        QCOMPARE(controller->autoReconnect(), true);
        QCOMPARE(controller->connection(), ConnectionState::disconnected());
        QCOMPARE(controller->selectedPath(), QString());
        // Loading defaults writes nothing back.
        QVERIFY(store.settings().allKeys().isEmpty());
    }

    void storedValuesAreRestored()
    {
        ControllerFixture f;
        f.scanner->list("/dev/serial/by-id/usb-FTDI-if00");
        SerialSettings stored;
        stored.baudRate = 9600;
        stored.parity = SerialSettings::Parity::even;
        QSettings& s = f.store.settings();
        s.setValue("serialSettings", *stored.toJson());
        s.setValue("lastPortPath", "/dev/serial/by-id/usb-FTDI-if00");
        s.setValue("pollingEnabled", false);
        s.setValue("pollingInterval", 2.5);
        s.setValue("displaySeries", "RX");
        s.setValue("autoReconnect", false);
        s.sync();

        auto controller = &f.make();
        QCOMPARE(controller->settings(), stored);
        QCOMPARE(controller->selectedPath(), QStringLiteral("/dev/serial/by-id/usb-FTDI-if00"));
        QCOMPARE(controller->pollingEnabled(), false);
        QCOMPARE(controller->pollingInterval(), 2.5);
        QCOMPARE(controller->series(), DisplaySeries::rx);
        QCOMPARE(controller->autoReconnect(), false);
    }

    void badStoredValuesAreIgnored_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("settings not json") << "serialSettings" << QVariant(QByteArray("{"));
        QTest::newRow("settings missing a key")
            << "serialSettings" << QVariant(QByteArray("{\"baudRate\":9600}"));
        QTest::newRow("zero interval") << "pollingInterval" << QVariant(0.0);
        QTest::newRow("negative interval") << "pollingInterval" << QVariant(-3.0);
        QTest::newRow("interval not a number") << "pollingInterval" << QVariant("schnell");
        QTest::newRow("lower-case series") << "displaySeries" << QVariant("rx");
        QTest::newRow("unknown series") << "displaySeries" << QVariant("MX");
        QTest::newRow("simulator as last port") << "lastPortPath" << QVariant("simulator://smart");
    }
    void badStoredValuesAreIgnored()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        TemporaryStore store;
        store.settings().setValue(key, value);
        auto controller = makeController(store.settings());
        QCOMPARE(controller->settings(), SerialSettings::smartStandard());
        QCOMPARE(controller->pollingInterval(), 5.0);
        QCOMPARE(controller->series(), DisplaySeries::qx);
        QCOMPARE(controller->selectedPath(), QString());
        // The bad value is not replaced by a default behind the user's back.
        QCOMPARE(store.settings().value(key), value);
    }

    void equalSettingsWriteNothing()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy changed(controller.get(), &DisplayController::settingsChanged);
        controller->setSettings(SerialSettings::smartStandard());
        QCOMPARE(changed.size(), 0);
        QVERIFY(!store.settings().contains("serialSettings"));

        SerialSettings other;
        other.assertRTS = false;
        controller->setSettings(other);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(SerialSettings::fromJson(store.settings().value("serialSettings").toByteArray()),
                 std::optional(other));
    }

    void plainKeysAreWrittenOnEveryAssignment()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        QSignalSpy changed(controller.get(), &DisplayController::pollingEnabledChanged);
        controller->setPollingEnabled(true); // equal: no signal, but stored
        controller->setAutoReconnect(true);
        controller->setPollingInterval(5.0);
        controller->setSeries(DisplaySeries::qx);
        QCOMPARE(changed.size(), 0);
        QCOMPARE(store.settings().value("pollingEnabled").toBool(), true);
        QCOMPARE(store.settings().value("autoReconnect").toBool(), true);
        QCOMPARE(store.settings().value("pollingInterval").toDouble(), 5.0);
        QCOMPARE(store.settings().value("displaySeries").toString(), QStringLiteral("QX"));
    }

    void storedFalseSurvivesARestart()
    {
        TemporaryStore store;
        makeController(store.settings())->setPollingEnabled(false);
        QCOMPARE(makeController(store.settings())->pollingEnabled(), false);
    }

    void startupConnection_data()
    {
        QTest::addColumn<bool>("autoReconnect");
        QTest::addColumn<QString>("remembered"); // "listed", "absent" or a stored path
        QTest::addColumn<int>("expected");       // ConnectionState::Case
        using C = ConnectionState::Case;
        QTest::newRow("remembered adapter present") << true << "listed" << int(C::connected);
        QTest::newRow("remembered adapter absent") << true << "absent" << int(C::waiting);
        QTest::newRow("reconnection off") << false << "listed" << int(C::disconnected);
        QTest::newRow("simulator never restored")
            << true << "simulator://smart" << int(C::disconnected);
    }
    void startupConnection()
    {
        QFETCH(bool, autoReconnect);
        QFETCH(QString, remembered);
        QFETCH(int, expected);
        Pty pty;
        QVERIFY(pty.isValid());
        ControllerFixture f;
        QString path = remembered;
        if (remembered == u"listed") {
            path = pty.slavePath();
            f.scanner->list(path);
        } else if (remembered == u"absent") {
            path = QStringLiteral("/dev/serial/by-id/usb-gone");
        }
        f.store.settings().setValue("lastPortPath", path);
        f.store.settings().setValue("autoReconnect", autoReconnect);

        DisplayController& controller = f.make(true);
        // The connection is made after construction, never inside it.
        QVERIFY(!controller.connection().is(ConnectionState::Case::connected));
        const auto reached = [&] { return int(controller.connection().state) == expected; };
        QTRY_VERIFY_WITH_TIMEOUT(reached(), 5000);
        QTest::qWait(50); // nothing further happens on its own
        QCOMPARE(int(controller.connection().state), expected);
        if (expected == int(ConnectionState::Case::waiting))
            QCOMPARE(controller.wantedPath(), std::optional(path));
    }

    void testHarnessVariableSkipsTheStartupConnection()
    {
        Pty pty;
        ControllerFixture f;
        f.scanner->list(pty.slavePath());
        f.store.settings().setValue("lastPortPath", pty.slavePath());
        qputenv("XCTestConfigurationFilePath", "/tmp/x");
        DisplayController& controller = f.make(true);
        qunsetenv("XCTestConfigurationFilePath");
        QTest::qWait(100);
        QCOMPARE(controller.connection(), ConnectionState::disconnected());
        QCOMPARE(controller.wantedPath(), std::nullopt);
    }

    void dropoutWindow()
    {
        ControllerFixture f;
        DisplayController& controller = f.make();
        // Losses are recorded by the connection; a simulator line serves to lose one.
        auto loseOnce = [&] {
            controller.setSelectedPath(SerialPortInfo::smartSimulatorPath);
            controller.connect();
            QVERIFY(controller.connection().is(ConnectionState::Case::connected));
            controller.handleConnectionLost(QStringLiteral("Gegenstelle getrennt"));
        };
        loseOnce();
        QVERIFY(!controller.hasRepeatedDropouts());
        f.clock->advance(599);
        loseOnce();
        QVERIFY(controller.hasRepeatedDropouts());
        f.clock->advance(2);
        QVERIFY(!controller.hasRepeatedDropouts()); // the first is now older than ten minutes
        for (int i = 0; i < 60; ++i)
            loseOnce();
        QCOMPARE(controller.dropouts().size(), 50);
        controller.resetDropouts();
        QVERIFY(controller.dropouts().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ControllerStateTest)
#include "test_controller_state.moc"
