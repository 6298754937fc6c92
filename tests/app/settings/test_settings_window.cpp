// The settings window with its serial and test output tabs, on a controller with a fake line.
#include "app/UiFixture.h"
#include "app/settings/SerialSettingsTab.h"
#include "app/settings/SettingsWindow.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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
            tabs->setCurrentIndex(tabs->indexOf(child<QWidget>(&window, "serialSettingsTab")));
        }
        QCOMPARE(SettingsWindow(*f.controller, f.store.settings()).currentTab(), "serial");
        f.store.settings().setValue("settingsTab", "modem"); // unknown: the default
        QCOMPARE(SettingsWindow(*f.controller, f.store.settings()).currentTab(), "test");
    }

    void timingAndControlLinesChangeTheSettings()
    {
        With<SettingsWindow> f;
        auto* delay = child<QSpinBox>(&f.view, "interCommandDelayStepper");
        auto* timeout = child<QDoubleSpinBox>(&f.view, "responseTimeoutStepper");
        QCOMPARE(delay->text(), QStringLiteral("50 ms"));
        QCOMPARE(timeout->text(), QStringLiteral("1,5 s"));
        delay->stepDown();
        delay->stepDown();
        QCOMPARE(f.controller->line().settings().interCommandDelay, 0.0); // not below zero
        timeout->stepDown();
        QCOMPARE(f.controller->line().settings().responseTimeout, 1.4);

        SerialSettings settings = f.controller->line().settings();
        settings.interCommandDelay = 2.0;
        settings.responseTimeout = 10.0;
        settings.flowControl = SerialSettings::FlowControl::rtsCts;
        f.controller->line().setSettings(settings);
        delay->stepUp();
        timeout->stepUp();
        QCOMPARE(f.controller->line().settings().interCommandDelay, 2.0);
        QCOMPARE(f.controller->line().settings().responseTimeout, 10.0);
        QCOMPARE(SerialSettingsTab::delayMilliseconds(0.0129), 12);  // cut towards zero
        QCOMPARE(SerialSettingsTab::delayMilliseconds(1.001), 1001); // not exact in binary

        child<QCheckBox>(&f.view, "dtrToggle")->click();
        QVERIFY(!f.controller->line().settings().assertDTR &&
                f.controller->line().settings().assertRTS);
        child<QCheckBox>(&f.view, "rtsToggle")->click(); // editable even with RTS/CTS
        QVERIFY(!f.controller->line().settings().assertRTS);
    }

    // Invalid hex previews nothing; the send controls follow repeat, connection and run.
    void testOutputPreviewAndSendControls()
    {
        With<SettingsWindow> f;
        auto* picker = child<QComboBox>(&f.view, "testPatternPicker");
        chooseInPicker(picker, picker->findData(static_cast<int>(TestPattern::customHex)));
        auto* hex = child<QLineEdit>(&f.view, "testCustomHex");
        auto* invalid = child<QLabel>(&f.view, "invalidHexLine");
        auto* count = child<QLabel>(&f.view, "testPreviewLabel");
        auto* preview = child<QPlainTextEdit>(&f.view, "testPreview");
        QVERIFY(hex->isVisible() && !child<QWidget>(&f.view, "testCustomText")->isVisible());
        QVERIFY(!invalid->isVisible());
        QCOMPARE(count->text(), QStringLiteral("Vorschau (7 Bytes)"));
        QCOMPARE(preview->toPlainText(), QStringLiteral("48 61 6C 6C 6F 0D 0A"));

        hex->clear();
        QTest::keyClicks(hex, "4G");
        QCOMPARE(f.controller->tester().testOutput().customHex, QStringLiteral("4G"));
        QVERIFY(invalid->isVisible());
        QCOMPARE(count->text(), QStringLiteral("Vorschau (0 Bytes)"));
        QCOMPARE(preview->toPlainText(), QString());
        QTest::keyClick(hex, Qt::Key_Backspace);
        QVERIFY(!invalid->isVisible());
        QCOMPARE(preview->toPlainText(), QStringLiteral("04"));

        auto* send = child<QPushButton>(&f.view, "testSendButton");
        auto* stop = child<QPushButton>(&f.view, "testStopButton");
        auto* reset = child<QPushButton>(&f.view, "testResetCountButton");
        auto* connectNow = child<QPushButton>(&f.view, "connectNowButton");
        auto* state = child<QLabel>(&f.view, "testPortState");
        QCOMPARE(send->text(), QStringLiteral("Einmal senden"));
        QVERIFY(!child<QWidget>(&f.view, "testIntervalStepper")->isVisible());
        QVERIFY(!send->isEnabled() && connectNow->isVisible() && !connectNow->isEnabled());
        QCOMPARE(child<QLabel>(&f.view, "testPortName")->text(), QStringLiteral("–"));
        QCOMPARE(state->text(), QStringLiteral("nicht verbunden"));

        f.scanner->list("/dev/ttyUSB0");
        f.controller->ports().refresh();
        f.controller->ports().select("/dev/ttyUSB0");
        connectNow->click();
        f.clock->settle();
        QVERIFY(!connectNow->isVisible() && send->isEnabled());
        QCOMPARE(child<QLabel>(&f.view, "testPortName")->text(), QStringLiteral("Testadapter"));
        QCOMPARE(state->text(), QStringLiteral("verbunden · 19200 · 8N1"));
        send->click();
        QCOMPARE(child<QLabel>(&f.view, "testSentCount")->text(), QStringLiteral("1 gesendet"));

        child<QCheckBox>(&f.view, "testRepeatToggle")->click();
        QCOMPARE(send->text(), QStringLiteral("Testausgabe starten"));
        QCOMPARE(child<QDoubleSpinBox>(&f.view, "testIntervalStepper")->text(), "1,0 s");
        QCoreApplication::processEvents();
        const int buttonRow = send->mapTo(&f.view, QPoint()).y();
        send->click();
        QVERIFY(stop->isVisible() && !send->isVisible() && !reset->isEnabled());
        QCoreApplication::processEvents();
        QCOMPARE(stop->mapTo(&f.view, QPoint()).y(), buttonRow); // the pause caption had room
        QVERIFY(child<QLabel>(&f.view, "pollingPausedLine")->isVisible());
        stop->click();
        QVERIFY(send->isVisible() && reset->isEnabled());
        reset->click();
        QCOMPARE(child<QLabel>(&f.view, "testSentCount")->text(), QStringLiteral("0 gesendet"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "test_settings_window.moc"
