// The program's arguments: the port to connect to at start, help and version.
#include "ControllerFixture.h"
#include "app/LaunchOptions.h"

class LaunchOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void readsTheAutoConnectArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("autoConnect"); // null: not given; "!": the arguments are wrong
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("single dash") << QStringList{"-autoConnect", "sim://x"} << "sim://x";
        QTest::newRow("double dash")
            << QStringList{"--autoConnect", "/dev/ttyUSB0"} << "/dev/ttyUSB0";
        QTest::newRow("value missing") << QStringList{"-autoConnect"} << "!";
        QTest::newRow("unknown option") << QStringList{"--connectNow"} << "!";
    }
    void readsTheAutoConnectArgument()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, autoConnect);
        LaunchOptions options;
        const bool valid = autoConnect != "!";
        QCOMPARE(options.parse(QStringList{"bildwart"} + arguments), valid);
        QCOMPARE(options.errorText().isEmpty(), valid);
        if (valid)
            QCOMPARE(options.autoConnect(),
                     autoConnect.isNull() ? std::nullopt : std::optional(autoConnect));
    }

    void helpAndVersionAreRecognised()
    {
        LaunchOptions help;
        QVERIFY(help.parse({"bildwart", "--help"}) && help.helpRequested());
        QVERIFY(help.helpText().contains("autoConnect"));
        QVERIFY(!help.helpText().contains("screenshot")); // for the developers only
        LaunchOptions version;
        QVERIFY(version.parse({"bildwart", "-v"}) && version.versionRequested());
        QVERIFY(!version.helpRequested());
    }

    // The launch argument wins over the stored port, for this launch only.
    void launchArgumentWinsOverStoredValue()
    {
        TemporaryStore store;
        QCOMPARE(LaunchOptions::autoConnectPath(std::nullopt, store.settings()), QString());
        store.settings().setValue("autoConnect", "/dev/ttyUSB1");
        QCOMPARE(LaunchOptions::autoConnectPath(std::nullopt, store.settings()), "/dev/ttyUSB1");
        QCOMPARE(LaunchOptions::autoConnectPath(QString("sim://x"), store.settings()), "sim://x");
        QCOMPARE(store.settings().value("autoConnect").toString(), "/dev/ttyUSB1");
    }
};

QTEST_MAIN(LaunchOptionsTest)
#include "test_launch_options.moc"
