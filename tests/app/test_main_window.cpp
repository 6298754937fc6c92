// The main window: its menu, tool bar and connection badge, what it remembers, and its one
// conversation with the display simulator (connecting at start, the shortcuts).
#include "UiFixture.h"
#include "app/ConnectionBadge.h"
#include "app/MainWindow.h"
#include "app/Style.h"
#include "app/settings/SettingsWindow.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <cerrno>

Q_DECLARE_METATYPE(ConnectionState)

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void badgeAppearance_data()
    {
        QTest::addColumn<ConnectionState>("state");
        QTest::addColumn<bool>("responding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("color");
        const QColor grey = Style::secondaryText(nullptr);
        using S = ConnectionState;
        QTest::newRow("disconnected") << S::disconnected() << false << "Getrennt" << grey;
        QTest::newRow("stale responding flag") << S::disconnected() << true << "Getrennt" << grey;
        QTest::newRow("connecting")
            << S::connecting() << false << "Verbinde \u2026" << Style::yellow();
        QTest::newRow("answering")
            << S::connected() << true << "Display antwortet" << Style::green();
        QTest::newRow("silent") << S::connected() << false << "Port offen \u2013 keine Antwort"
                                << Style::orange();
        QTest::newRow("waiting") << S::waiting() << false << "Warte auf Wandler \u2026"
                                 << Style::orange();
        QTest::newRow("failed") << S::failed("Port belegt") << false << "Fehler" << Style::red();
    }
    void badgeAppearance()
    {
        QFETCH(ConnectionState, state);
        QFETCH(bool, responding);
        QFETCH(QString, text);
        QFETCH(QColor, color);
        const auto appearance = ConnectionBadge::appearance(state, responding, nullptr);
        QCOMPARE(appearance.text, text);
        QCOMPARE(appearance.color, color);
    }

    void controlsFollowTheConnection()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        auto* badge = window.findChild<ConnectionBadge*>();
        QAction* refreshAll = child<QAction>(&window, "refreshAllButton");
        QVERIFY(!refreshAll->isEnabled());
        // The menu's items never grey out; without a port "Verbinden" does nothing.
        for (const char* name :
             {"connectAction", "disconnectAction", "refreshAllAction", "refreshPortsAction"})
            QVERIFY(child<QAction>(&window, name)->isEnabled());
        child<QAction>(&window, "connectAction")->trigger();
        QCOMPARE(f.controller->connection(), ConnectionState::disconnected());

        f.connect();
        QVERIFY(refreshAll->isEnabled());
        QCOMPARE(badge->text(), QStringLiteral("Display antwortet"));
        QVERIFY(badge->sizeHint().width() > badge->fontMetrics().horizontalAdvance(badge->text()));
        child<QPushButton>(&window, "disconnectButton")->click();
        QVERIFY(!refreshAll->isEnabled());
        f.lines.openFailure = SerialPortError::openFailed("/dev/ttyUSB0", EBUSY);
        f.controller->connectLine();
        QCOMPARE(badge->text(), QStringLiteral("Fehler"));
        QCOMPARE(badge->toolTip(), f.controller->connection().reason); // one hover away
    }

    void terminalVisibilityIsRemembered()
    {
        UiFixture f;
        {
            MainWindow window(*f.controller, f.store.settings());
            window.show();
            QVERIFY(child<QWidget>(&window, "terminalView")->isVisible());
            child<QAction>(&window, "terminalToggle")->trigger();
            QVERIFY(!child<QWidget>(&window, "terminalView")->isVisible());
        }
        MainWindow reopened(*f.controller, f.store.settings());
        reopened.show();
        QVERIFY(!child<QAction>(&reopened, "terminalToggle")->isChecked());
        QVERIFY(!child<QWidget>(&reopened, "terminalView")->isVisible());
    }

    void settingsOpenAsOneWindow()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        QAction* settings = child<QAction>(&window, "settingsAction");
        settings->trigger();
        auto* first = window.findChild<SettingsWindow*>();
        QVERIFY(first && first->isVisible());
        first->close();
        settings->trigger();
        QCOMPARE(window.findChildren<SettingsWindow*>().size(), 1);
        QVERIFY(first->isVisible());
    }

    // The window's one conversation with the display simulator.
    void connectsAtStartAndAnswersShortcuts()
    {
        UiFixture f(true);
        f.controller->setPollingEnabled(false); // only the shortcuts ask the display
        MainWindow window(*f.controller, f.store.settings(), SerialPortInfo::smartSimulatorPath);
        QCOMPARE(f.controller->connection(), ConnectionState::disconnected()); // not before shown
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->displayResponding(), waitMs);
        QCOMPARE(f.controller->selectedPath(), SerialPortInfo::smartSimulatorPath);
        QSignalSpy transitions(f.controller.get(), &DisplayController::connectionChanged);
        window.hide();
        window.show(); // showing again does not reconnect
        QTest::qWait(50);
        QCOMPARE(transitions.count(), 0);

        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.controller->connection(), ConnectionState::disconnected());
        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->displayResponding(), waitMs);
        const qsizetype asked = f.logTexts(Kind::tx).count("get volume");
        QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(f.logTexts(Kind::tx).count("get volume") > asked, waitMs);
        f.scanner->list("/dev/ttyUSB3");
        QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.controller->ports().first().path, QStringLiteral("/dev/ttyUSB3"));
        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(window.findChild<SettingsWindow*>()->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
