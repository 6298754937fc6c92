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

    // Missing, bad or damaged values give the defaults, and nothing is written back: no
    // defaults, and no bad value replaced behind the user's back.
    void badValuesGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("content"); // of the settings file
        const auto row = [](const char* tag, const QByteArray& line) {
            QTest::newRow(tag) << (line.isEmpty() ? line : "[General]\n" + line + "\n");
        };
        row("fresh store", "");
        row("settings not json", "serialSettings=@ByteArray({)");
        row("zero interval", "pollingInterval=0");
        row("interval not a number", "pollingInterval=schnell");
        row("unknown series", "displaySeries=MX");
        row("simulator as last port", "lastPortPath=simulator://smart");
        row("truncated", "serialSettings=@ByteArray({\\\"baudR");
        row("wrong types", "serialSettings=17\npollingInterval=schnell\n"
                           "displaySeries=@Variant(\\0\\0\\0\\x7f)\nlastPortPath=@Invalid()");
    }
    void badValuesGiveDefaults()
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
        QCOMPARE(c.pollingEnabled(), true);
        QCOMPARE(c.pollingInterval(), 5.0);
        QCOMPARE(c.series(), DisplaySeries::qx);
        QCOMPARE(c.autoReconnect(), true);
        QCOMPARE(c.selectedPath(), QString());
        QCOMPARE(c.connection(), ConnectionState::disconnected());
        f.controller.reset();
        f.store.settings().sync();
        QFile file(f.store.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
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
