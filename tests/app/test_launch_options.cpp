#include "ControllerFixture.h"
#include "app/LaunchOptions.h"

class LaunchOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheAutoConnectArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("autoConnect"); // null: not given

        QTest::newRow("none") << QStringList{} << true << QString();
        QTest::newRow("single dash")
            << QStringList{"-autoConnect", "simulator://smart"} << true << "simulator://smart";
        QTest::newRow("double dash")
            << QStringList{"--autoConnect", "/dev/ttyUSB0"} << true << "/dev/ttyUSB0";
        QTest::newRow("value missing") << QStringList{"-autoConnect"} << false << QString();
        QTest::newRow("unknown option") << QStringList{"--connectNow"} << false << QString();
    }
    void readsTheAutoConnectArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        QFETCH(QString, autoConnect);
        LaunchOptions launchOptions;
        QCOMPARE(launchOptions.parse(QStringList{"bildwart"} + arguments), valid);
        if (!valid) {
            QVERIFY(!launchOptions.errorText().isEmpty());
            return;
        }
        QCOMPARE(launchOptions.autoConnect().has_value(), !autoConnect.isNull());
        QCOMPARE(launchOptions.autoConnect().value_or(QString()), autoConnect);
    }

    void helpAndVersionAreRecognised()
    {
        LaunchOptions help;
        QVERIFY(help.parse({"bildwart", "--help"}));
        QVERIFY(help.helpRequested());
        QVERIFY(help.helpText().contains("autoConnect"));
        // The screenshot run is for the developers only.
        QVERIFY(!help.helpText().contains("screenshot"));

        LaunchOptions version;
        QVERIFY(version.parse({"bildwart", "-v"}));
        QVERIFY(version.versionRequested());
        QVERIFY(!version.helpRequested());
    }

    void launchArgumentWinsOverStoredValue_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("argument"); // null: not given
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << QVariant() << QString() << QString();
        QTest::newRow("stored only") << QVariant("/dev/ttyUSB1") << QString() << "/dev/ttyUSB1";
        QTest::newRow("both") << QVariant("/dev/ttyUSB1") << "simulator://smart"
                              << "simulator://smart";
    }
    void launchArgumentWinsOverStoredValue()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        TemporaryStore store;
        if (stored.isValid())
            store.settings().setValue("autoConnect", stored);
        const std::optional<QString> launch =
            argument.isNull() ? std::nullopt : std::optional(argument);
        QCOMPARE(LaunchOptions::autoConnectPath(launch, store.settings()), expected);
        // The launch argument is for this launch only.
        QCOMPARE(store.settings().value("autoConnect"), stored);
    }
};

QTEST_MAIN(LaunchOptionsTest)
#include "test_launch_options.moc"
