// The main window: menu, tool bar and connection badge, how large it first opens and what it
// remembers, and its one conversation with the display simulator (connecting at start, the
// shortcuts). It runs on a 1920 x 1080 screen (CMakeLists.txt).
#include "UiFixture.h"
#include "app/ConnectionBadge.h"
#include "app/MainWindow.h"
#include "app/settings/SettingsWindow.h"

#include <QAction>
#include <QApplication>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
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
        QTest::addColumn<int>("tone");
        using S = ConnectionState;
        using T = Style::Tone;
        const std::tuple<const char*, S, bool, const char*, T> rows[] = {
            {"disconnected", S::disconnected(), false, "Getrennt", T::secondary},
            {"stale responding flag", S::disconnected(), true, "Getrennt", T::secondary},
            {"connecting", S::connecting(), false, "Verbinde \u2026", T::yellow},
            {"answering", S::connected(), true, "Display antwortet", T::green},
            {"silent", S::connected(), false, "Port offen \u2013 keine Antwort", T::orange},
            {"waiting", S::waiting(), false, "Warte auf Wandler \u2026", T::orange},
            {"failed", S::failed("Port belegt"), false, "Fehler", T::red},
        };
        for (const auto& [tag, state, responding, text, tone] : rows)
            QTest::newRow(tag) << state << responding << QString(text) << int(tone);
    }
    void badgeAppearance()
    {
        QFETCH(ConnectionState, state);
        QFETCH(bool, responding);
        QFETCH(QString, text);
        QFETCH(int, tone);
        const auto appearance = ConnectionBadge::appearance(state, responding);
        QCOMPARE(appearance.text, text);
        QCOMPARE(int(appearance.tone), tone);
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
        child<QPushButton>(&window, "disconnectButton")->click();
        QVERIFY(!refreshAll->isEnabled());
        f.lines.openFailure = SerialPortError::openFailed("/dev/ttyUSB0", EBUSY);
        f.controller->connectLine();
        QCOMPARE(badge->text(), QStringLiteral("Fehler"));
        QCOMPARE(badge->toolTip(), f.controller->connection().reason); // one hover away
    }

    void firstStartFitsTheScreenAndShowsTwelveLogRows()
    {
        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect screen = window.screen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(1920, 1080));
        QVERIFY(window.width() <= screen.width() * 0.9 && window.height() <= screen.height() * 0.9);
        auto* log = window.findChild<QListView*>();
        QVERIFY(log->viewport()->height() >= 12 * log->itemDelegate()->sizeHint({}, {}).height());
    }

    void sizeSplitAndTerminalAreRemembered()
    {
        UiFixture f;
        QList<int> split;
        {
            MainWindow window(*f.controller, f.store.settings());
            window.show();
            window.resize(1000, 700);
            child<QSplitter>(&window, "detailSplit")->setSizes({300, 320});
            split = child<QSplitter>(&window, "detailSplit")->sizes();
        }
        {
            MainWindow reopened(*f.controller, f.store.settings());
            reopened.show();
            QCOMPARE(reopened.size(), QSize(1000, 700));
            QCOMPARE(child<QSplitter>(&reopened, "detailSplit")->sizes(), split);
            child<QAction>(&reopened, "terminalToggle")->trigger();
        }
        MainWindow third(*f.controller, f.store.settings());
        third.show();
        QVERIFY(!child<QAction>(&third, "terminalToggle")->isChecked());
        QVERIFY(!child<QWidget>(&third, "terminalView")->isVisible());
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
        auto* settings = window.findChild<SettingsWindow*>();
        QVERIFY(settings && settings->isVisible());
        settings->close();
        child<QAction>(&window, "settingsAction")->trigger(); // the same window again
        QVERIFY(settings->isVisible());
        QCOMPARE(window.findChildren<SettingsWindow*>().size(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
