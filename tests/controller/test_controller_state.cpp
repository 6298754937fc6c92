#include "ControllerFixture.h"
#include "Pty.h"

#include <QSignalSpy>

class ControllerStateTest : public QObject {
    Q_OBJECT

private slots:
    void storedValuesAreRestored()
    {
        ControllerFixture f;
        const QString port = QStringLiteral("/dev/serial/by-id/usb-FTDI-if00");
        f.scanner->list(port);
        SerialSettings stored;
        stored.baudRate = 9600;
        stored.parity = SerialSettings::Parity::even;
        QSettings& s = f.store.settings();
        s.setValue("serialSettings", *stored.toJson());
        s.setValue("lastPortPath", port);
        s.setValue("pollingEnabled", false);
        s.setValue("pollingInterval", 2.5);
        s.setValue("displaySeries", "RX");
        s.setValue("autoReconnect", false);
        DisplayController& c = f.make();
        QCOMPARE(c.settings(), stored);
        QCOMPARE(c.selectedPath(), port);
        QCOMPARE(c.pollingEnabled(), false);
        QCOMPARE(c.pollingInterval(), 2.5);
        QCOMPARE(c.series(), DisplaySeries::rx);
        QCOMPARE(c.autoReconnect(), false);
    }

    void missingOrBadValuesGiveDefaults_data()
    {
        QTest::addColumn<QString>("key"); // empty: a fresh store
        QTest::addColumn<QVariant>("value");
        QTest::newRow("fresh store") << QString() << QVariant();
        QTest::newRow("settings not json") << "serialSettings" << QVariant(QByteArray("{"));
        QTest::newRow("settings missing a key")
            << "serialSettings" << QVariant(QByteArray("{\"baudRate\":9600}"));
        QTest::newRow("zero interval") << "pollingInterval" << QVariant(0.0);
        QTest::newRow("interval not a number") << "pollingInterval" << QVariant("schnell");
        QTest::newRow("lower-case series") << "displaySeries" << QVariant("rx");
        QTest::newRow("unknown series") << "displaySeries" << QVariant("MX");
        QTest::newRow("simulator as last port") << "lastPortPath" << QVariant("simulator://smart");
    }
    void missingOrBadValuesGiveDefaults()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        TemporaryStore store;
        if (!key.isEmpty())
            store.settings().setValue(key, value);
        auto controller = makeController(store.settings());
        QCOMPARE(controller->settings(), SerialSettings::smartStandard());
        QCOMPARE(controller->pollingEnabled(), true);
        QCOMPARE(controller->pollingInterval(), 5.0);
        QCOMPARE(controller->series(), DisplaySeries::qx);
        QCOMPARE(controller->autoReconnect(), true);
        QCOMPARE(controller->selectedPath(), QString());
        QCOMPARE(controller->connection(), ConnectionState::disconnected());
        // Nothing is written back: no defaults, and no bad value replaced behind the user's back.
        QCOMPARE(store.settings().allKeys(), key.isEmpty() ? QStringList() : QStringList{key});
        if (!key.isEmpty())
            QCOMPARE(store.settings().value(key), value);
    }

    void persistence()
    {
        TemporaryStore store;
        auto controller = makeController(store.settings());
        // Equal serial settings: nothing is announced or written.
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

        // The plain keys are written on every assignment, equal or not, without a signal.
        QSignalSpy polling(controller.get(), &DisplayController::pollingEnabledChanged);
        controller->setPollingEnabled(true);
        controller->setSeries(DisplaySeries::qx);
        QCOMPARE(polling.size(), 0);
        QCOMPARE(store.settings().value("pollingEnabled").toBool(), true);
        QCOMPARE(store.settings().value("displaySeries").toString(), QStringLiteral("QX"));
        controller->setPollingEnabled(false);
        QCOMPARE(makeController(store.settings())->pollingEnabled(), false);
    }

    void startupConnection_data()
    {
        QTest::addColumn<bool>("autoReconnect");
        QTest::addColumn<QString>("remembered"); // "listed", "absent" or a stored path
        QTest::addColumn<bool>("underTestHarness");
        QTest::addColumn<int>("expected"); // ConnectionState::Case
        using C = ConnectionState::Case;
        QTest::newRow("remembered adapter present")
            << true << "listed" << false << int(C::connected);
        QTest::newRow("remembered adapter absent") << true << "absent" << false << int(C::waiting);
        QTest::newRow("reconnection off") << false << "listed" << false << int(C::disconnected);
        QTest::newRow("simulator never restored")
            << true << "simulator://smart" << false << int(C::disconnected);
        QTest::newRow("test harness") << true << "listed" << true << int(C::disconnected);
    }
    void startupConnection()
    {
        QFETCH(bool, autoReconnect);
        QFETCH(QString, remembered);
        QFETCH(bool, underTestHarness);
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

        if (underTestHarness)
            qputenv("XCTestConfigurationFilePath", "/tmp/x");
        DisplayController& controller = f.make(true);
        qunsetenv("XCTestConfigurationFilePath");
        // The connection is made after construction, never inside it.
        QVERIFY(!controller.connection().is(ConnectionState::Case::connected));
        const auto reached = [&] { return int(controller.connection().state) == expected; };
        QTRY_VERIFY_WITH_TIMEOUT(reached(), 5000);
        QTest::qWait(50); // nothing further happens on its own
        QCOMPARE(int(controller.connection().state), expected);
        QCOMPARE(controller.wantedPath(), expected == int(ConnectionState::Case::disconnected)
                                              ? std::nullopt
                                              : std::optional(path));
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
