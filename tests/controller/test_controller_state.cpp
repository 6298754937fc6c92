#include "ControllerFixture.h"

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
        TemporaryStore store;
        SerialSettings stored;
        stored.baudRate = 9600;
        stored.parity = SerialSettings::Parity::even;
        QSettings& s = store.settings();
        s.setValue("serialSettings", *stored.toJson());
        s.setValue("lastPortPath", "/dev/serial/by-id/usb-FTDI-if00");
        s.setValue("pollingEnabled", false);
        s.setValue("pollingInterval", 2.5);
        s.setValue("displaySeries", "RX");
        s.setValue("autoReconnect", false);
        s.sync();

        auto controller = makeController(s);
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
};

QTEST_GUILESS_MAIN(ControllerStateTest)
#include "test_controller_state.moc"
