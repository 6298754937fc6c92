#include "UiFixture.h"
#include "app/MainWindow.h"
#include "app/settings/SettingsWindow.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>

namespace {

QAction* action(const MainWindow& window, const QString& name)
{
    return child<QAction>(&window, name);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void connectNeedsASelectionButTheMenuItemStaysEnabled()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        QCOMPARE(f.controller->selectedPath(), QString());
        auto* connectButton = child<QPushButton>(&window, "connectButton");
        QVERIFY(connectButton->isVisible());
        QVERIFY(!connectButton->isEnabled());
        QVERIFY(action(window, "connectAction")->isEnabled());

        // Without a port the menu item does nothing, as the controller decides.
        action(window, "connectAction")->trigger();
        QVERIFY(f.controller->connection().is(ConnectionState::Case::disconnected));

        f.controller->setSelectedPath(SerialPortInfo::smartSimulatorPath);
        QVERIFY(connectButton->isEnabled());
    }

    void buttonsFollowTheConnection()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        auto* rescan = child<QPushButton>(&window, "refreshPortsButton");
        QAction* refreshAll = action(window, "refreshAllButton");
        QVERIFY(rescan->isEnabled());
        QVERIFY(!refreshAll->isEnabled());

        QVERIFY(f.connectTo(SerialPortInfo::smartSimulatorPath));
        QVERIFY(!rescan->isEnabled());
        QVERIFY(refreshAll->isEnabled());
        QVERIFY(child<QPushButton>(&window, "disconnectButton")->isVisible());
        QVERIFY(!child<QPushButton>(&window, "connectButton")->isVisible());
        // The menu's items never grey out.
        QVERIFY(action(window, "refreshAllAction")->isEnabled());
        QVERIFY(action(window, "refreshPortsAction")->isEnabled());

        child<QPushButton>(&window, "disconnectButton")->click();
        QVERIFY(f.controller->connection().is(ConnectionState::Case::disconnected));
        QVERIFY(rescan->isEnabled());
        QVERIFY(!refreshAll->isEnabled());
        QVERIFY(child<QPushButton>(&window, "connectButton")->isVisible());
    }

    void terminalVisibilityIsRemembered()
    {
        UiFixture f;
        {
            MainWindow window(*f.controller, f.store.settings());
            window.show();
            QWidget* terminal = child<QWidget>(&window, "terminalView");
            QVERIFY(terminal->isVisible());
            action(window, "terminalToggle")->trigger();
            QVERIFY(!terminal->isVisible());
            QCOMPARE(f.store.settings().value("terminalVisible").toBool(), false);
        }
        MainWindow reopened(*f.controller, f.store.settings());
        reopened.show();
        QVERIFY(!action(reopened, "terminalToggle")->isChecked());
        QVERIFY(!child<QWidget>(&reopened, "terminalView")->isVisible());
    }

    void autoConnectPathConnectsOnceTheWindowAppears()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings(), SerialPortInfo::smartSimulatorPath);
        // Nothing happens before the window is on screen.
        QVERIFY(f.controller->connection().is(ConnectionState::Case::disconnected));

        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->connection().is(ConnectionState::Case::connected),
                                 waitMs);
        QCOMPARE(f.controller->selectedPath(), SerialPortInfo::smartSimulatorPath);
        // Showing the window again does not reconnect.
        QSignalSpy transitions(f.controller.get(), &DisplayController::connectionChanged);
        window.hide();
        window.show();
        QTest::qWait(50);
        QCOMPARE(transitions.count(), 0);
        QVERIFY(f.controller->connection().is(ConnectionState::Case::connected));
    }

    void shortcutsReachTheController()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        f.controller->setSelectedPath(SerialPortInfo::smartSimulatorPath);

        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->connection().is(ConnectionState::Case::connected),
                                 waitMs);
        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(f.controller->connection().is(ConnectionState::Case::disconnected));

        f.scanner->list("/dev/ttyUSB3");
        QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.controller->ports().first().path, QStringLiteral("/dev/ttyUSB3"));

        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        auto* settings = window.findChild<SettingsWindow*>();
        QVERIFY(settings && settings->isVisible());
    }

    void settingsOpenAsOneWindow()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        QAction* settings = action(window, "settingsAction");
        settings->trigger();
        auto* first = window.findChild<SettingsWindow*>();
        QVERIFY(first && first->isVisible());
        first->close();
        settings->trigger();
        QCOMPARE(window.findChildren<SettingsWindow*>().size(), 1);
        QVERIFY(first->isVisible());
    }

    void sidebarKeepsItsColumnWidth()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QWidget* sidebar = child<QWidget>(&window, "connectionSidebar");
        QVERIFY(sidebar->width() >= 280);
        QVERIFY(sidebar->width() <= 360);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
