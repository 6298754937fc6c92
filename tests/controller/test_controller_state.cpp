// What the controller keeps across launches, and how it starts.
#include "ControllerFixture.h"

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
        ControllerFixture f;
        TemporaryStore& store = f.store;
        if (!key.isEmpty())
            store.settings().setValue(key, value);
        DisplayController* controller = &f.make();
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
        ControllerFixture f;
        TemporaryStore& store = f.store;
        DisplayController* controller = &f.make();
        // Equal serial settings: nothing is announced or written.
        QSignalSpy changed(controller, &DisplayController::settingsChanged);
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
        QSignalSpy polling(controller, &DisplayController::pollingEnabledChanged);
        controller->setPollingEnabled(true);
        controller->setSeries(DisplaySeries::qx);
        QCOMPARE(polling.size(), 0);
        QCOMPARE(store.settings().value("pollingEnabled").toBool(), true);
        QCOMPARE(store.settings().value("displaySeries").toString(), QStringLiteral("QX"));
        controller->setPollingEnabled(false);
        QCOMPARE(f.make().pollingEnabled(), false);
    }

    // A file damaged on disk: defaults, and the file stays as it was.
    void damagedSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated") << QByteArray("[General]\nserialSettings=@ByteArray({\\\"baudR");
        QTest::newRow("garbage") << QByteArray("\x01\xff\xfe[[[=\n\0\0=\n", 12);
        QTest::newRow("wrong types")
            << QByteArray("[General]\nserialSettings=17\npollingInterval=schnell\n"
                          "displaySeries=@Variant(\\0\\0\\0\\x7f)\nlastPortPath=@Invalid()\n");
    }
    void damagedSettingsFile()
    {
        QFETCH(QByteArray, content);
        ControllerFixture f;
        {
            QFile file(f.store.path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        f.store.settings().sync();
        DisplayController& c = f.make();
        QCOMPARE(c.settings(), SerialSettings::smartStandard());
        QCOMPARE(c.pollingInterval(), 5.0);
        QCOMPARE(c.series(), DisplaySeries::qx);
        f.controller.reset();
        f.store.settings().sync();
        QFile file(f.store.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
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
        ControllerFixture f;
        QString path = remembered;
        if (remembered == u"listed") {
            path = QStringLiteral("/dev/ttyUSB0");
            f.scanner->list(path);
        } else if (remembered == u"absent") {
            path = QStringLiteral("/dev/serial/by-id/usb-gone");
        }
        f.store.settings().setValue("lastPortPath", path);
        f.store.settings().setValue("autoReconnect", autoReconnect);

        DisplayController& controller = f.make(true);
        // The connection is made after construction, never inside it.
        QVERIFY(!controller.connection().is(ConnectionState::Case::connected));
        f.clock->advance(10);
        QCOMPARE(int(controller.connection().state), expected);
        QCOMPARE(controller.wantedPath(), expected == int(ConnectionState::Case::disconnected)
                                              ? std::nullopt
                                              : std::optional(path));
        // Without the option nothing is connected, whatever is remembered.
        f.make(false);
        f.clock->advance(10);
        QCOMPARE(f.controller->connection(), ConnectionState::disconnected());
    }
};

QTEST_GUILESS_MAIN(ControllerStateTest)
#include "test_controller_state.moc"
