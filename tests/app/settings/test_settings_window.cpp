#include "app/UiFixture.h"
#include "app/settings/SerialSettingsTab.h"
#include "app/settings/SettingsWindow.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

class SettingsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useGermanLocale(); }

    void opensOnTestOutputAndRemembersTheTab()
    {
        UiFixture f;
        {
            SettingsWindow window(*f.controller, f.store.settings());
            auto* tabs = child<QTabWidget>(&window, "settingsTabs");
            QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Testausgabe"));
            QCOMPARE(window.currentTab(), QStringLiteral("test"));
            tabs->setCurrentIndex(tabs->indexOf(child<QWidget>(&window, "serialSettingsTab")));
            QCOMPARE(f.store.settings().value("settingsTab").toString(), QStringLiteral("serial"));
        }
        SettingsWindow reopened(*f.controller, f.store.settings());
        auto* tabs = child<QTabWidget>(&reopened, "settingsTabs");
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Schnittstelle"));
        f.store.settings().setValue("settingsTab", "modem");
        QCOMPARE(SettingsWindow(*f.controller, f.store.settings()).currentTab(),
                 QStringLiteral("test"));
    }

    void delayShowsWholeMilliseconds_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("zero") << 0.0 << 0;
        QTest::newRow("cut towards zero") << 0.0129 << 12;
        QTest::newRow("not exact in binary") << 1.001 << 1001;
    }
    void delayShowsWholeMilliseconds()
    {
        QFETCH(double, seconds);
        QFETCH(int, milliseconds);
        QCOMPARE(SerialSettingsTab::delayMilliseconds(seconds), milliseconds);
    }

    void timingSteppersKeepTheirRanges()
    {
        UiFixture f;
        SettingsWindow window(*f.controller, f.store.settings());
        window.setCurrentTab("serial");
        auto* delay = child<QSpinBox>(&window, "interCommandDelayStepper");
        auto* timeout = child<QDoubleSpinBox>(&window, "responseTimeoutStepper");
        QCOMPARE(delay->text(), QStringLiteral("50 ms"));
        QCOMPARE(timeout->text(), QStringLiteral("1,5 s"));

        delay->stepDown();
        QCOMPARE(f.controller->settings().interCommandDelay, 0.0);
        delay->stepDown();
        QCOMPARE(f.controller->settings().interCommandDelay, 0.0);
        QCOMPARE(delay->text(), QStringLiteral("0 ms"));

        SerialSettings settings = f.controller->settings();
        settings.interCommandDelay = 2.0;
        settings.responseTimeout = 10.0;
        f.controller->setSettings(settings);
        QCOMPARE(delay->text(), QStringLiteral("2000 ms"));
        delay->stepUp();
        timeout->stepUp();
        QCOMPARE(f.controller->settings().interCommandDelay, 2.0);
        QCOMPARE(f.controller->settings().responseTimeout, 10.0);

        timeout->stepDown();
        QCOMPARE(f.controller->settings().responseTimeout, 9.9);
        QCOMPARE(timeout->text(), QStringLiteral("9,9 s"));
    }

    void controlLineTogglesChangeTheSettings()
    {
        UiFixture f;
        SettingsWindow window(*f.controller, f.store.settings());
        child<QCheckBox>(&window, "dtrToggle")->click();
        QCOMPARE(f.controller->settings().assertDTR, false);
        QCOMPARE(f.controller->settings().assertRTS, true);
        // RTS stays editable even with hardware flow control.
        SerialSettings settings = f.controller->settings();
        settings.flowControl = SerialSettings::FlowControl::rtsCts;
        f.controller->setSettings(settings);
        auto* rts = child<QCheckBox>(&window, "rtsToggle");
        QVERIFY(rts->isEnabled());
        rts->click();
        QCOMPARE(f.controller->settings().assertRTS, false);
    }

    void invalidHexIsFlaggedAndPreviewsNothing()
    {
        UiFixture f;
        SettingsWindow window(*f.controller, f.store.settings());
        window.show();
        auto* picker = child<QComboBox>(&window, "testPatternPicker");
        chooseInPicker(picker, picker->findData(static_cast<int>(TestPattern::customHex)));
        QCOMPARE(f.controller->testPattern(), TestPattern::customHex);

        auto* hex = child<QLineEdit>(&window, "testCustomHex");
        auto* invalid = child<QLabel>(&window, "invalidHexLine");
        auto* previewLabel = child<QLabel>(&window, "testPreviewLabel");
        auto* preview = child<QPlainTextEdit>(&window, "testPreview");
        QVERIFY(hex->isVisible());
        QVERIFY(!child<QLineEdit>(&window, "testCustomText")->isVisible());
        QVERIFY(!invalid->isVisible());
        QCOMPARE(previewLabel->text(), QStringLiteral("Vorschau (7 Bytes)"));
        QCOMPARE(preview->toPlainText(), QStringLiteral("48 61 6C 6C 6F 0D 0A"));

        hex->clear();
        QTest::keyClicks(hex, "4G");
        QCOMPARE(f.controller->testCustomHex(), QStringLiteral("4G"));
        QVERIFY(invalid->isVisible());
        QCOMPARE(invalid->text(), QStringLiteral("Ung\u00FCltige Hex-Eingabe"));
        QCOMPARE(previewLabel->text(), QStringLiteral("Vorschau (0 Bytes)"));
        QCOMPARE(preview->toPlainText(), QString());

        QTest::keyClick(hex, Qt::Key_Backspace);
        QVERIFY(!invalid->isVisible());
        QCOMPARE(preview->toPlainText(), QStringLiteral("04"));
    }

    void sendButtonFollowsRepeatAndConnection()
    {
        UiFixture f;
        SettingsWindow window(*f.controller, f.store.settings());
        window.show();
        auto* send = child<QPushButton>(&window, "testSendButton");
        auto* interval = child<QDoubleSpinBox>(&window, "testIntervalStepper");
        auto* connectNow = child<QPushButton>(&window, "connectNowButton");

        QCOMPARE(send->text(), QStringLiteral("Einmal senden"));
        QVERIFY(!interval->isVisible());
        QVERIFY(!send->isEnabled());
        QVERIFY(connectNow->isVisible());
        QVERIFY(!connectNow->isEnabled());
        QCOMPARE(child<QLabel>(&window, "testPortName")->text(), QStringLiteral("\u2013"));
        QCOMPARE(child<QLabel>(&window, "testPortState")->text(),
                 QStringLiteral("nicht verbunden"));

        child<QCheckBox>(&window, "testRepeatToggle")->click();
        QVERIFY(f.controller->testRepeat());
        QCOMPARE(send->text(), QStringLiteral("Testausgabe starten"));
        QVERIFY(interval->isVisible());
        QCOMPARE(interval->text(), QStringLiteral("1,0 s"));

        f.controller->setSelectedPath(SerialPortInfo::loopbackSimulatorPath);
        QVERIFY(connectNow->isEnabled());
        connectNow->click();
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->connection().is(ConnectionState::Case::connected),
                                 waitMs);
        QVERIFY(!connectNow->isVisible());
        QVERIFY(send->isEnabled());
        QCOMPARE(child<QLabel>(&window, "testPortName")->text(),
                 QStringLiteral("Simulator (Br\u00FCckenstecker)"));
        QCOMPARE(child<QLabel>(&window, "testPortState")->text(),
                 QStringLiteral("verbunden \u00B7 19200 \u00B7 8N1"));
    }

    void runningOutputOffersOnlyStop()
    {
        UiFixture f;
        QVERIFY(f.connectTo(SerialPortInfo::loopbackSimulatorPath));
        SettingsWindow window(*f.controller, f.store.settings());
        window.show();
        auto* send = child<QPushButton>(&window, "testSendButton");
        auto* stop = child<QPushButton>(&window, "testStopButton");
        auto* reset = child<QPushButton>(&window, "testResetCountButton");
        auto* count = child<QLabel>(&window, "testSentCount");
        QVERIFY(!stop->isVisible());

        send->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.controller->testSentCount(), qint64(1), waitMs);
        QCOMPARE(count->text(), QStringLiteral("1 gesendet"));

        f.controller->setTestRepeat(true);
        send->click();
        QVERIFY(f.controller->testRunning());
        QVERIFY(stop->isVisible());
        QVERIFY(!send->isVisible());
        QVERIFY(!reset->isEnabled());
        QVERIFY(child<QLabel>(&window, "pollingPausedLine")->isVisible());

        stop->click();
        QVERIFY(!f.controller->testRunning());
        QVERIFY(send->isVisible());
        QVERIFY(reset->isEnabled());
        reset->click();
        QCOMPARE(f.controller->testSentCount(), qint64(0));
        QCOMPARE(count->text(), QStringLiteral("0 gesendet"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "test_settings_window.moc"
