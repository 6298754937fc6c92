// The program's start and its main window: the arguments, the identity a dock matches the
// window by; menu, tool bar and connection badge, how large the window first opens and what it
// remembers, and its one conversation with the display simulator (connecting at start, the
// shortcuts). It runs on a 1920 x 1080 screen (CMakeLists.txt).
#include "UiFixture.h"
#include "app/ConnectionBadge.h"
#include "app/DesktopIdentity.h"
#include "app/LaunchOptions.h"
#include "app/MainWindow.h"
#include "app/settings/SettingsWindow.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <cerrno>

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // The first start fits the screen and shows twelve log rows; the controls follow the line.
    void firstStartAndControls()
    {
        With<MainWindow> f;
        QVERIFY(QTest::qWaitForWindowExposed(&f.view));
        const QRect screen = f.view.screen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(1920, 1080));
        QVERIFY(f.view.width() <= screen.width() * 0.9 && f.view.height() <= screen.height() * 0.9);
        auto* log = f.view.findChild<QListView*>();
        QVERIFY(log->viewport()->height() >= 12 * log->itemDelegate()->sizeHint({}, {}).height());
        auto* badge = f.view.findChild<ConnectionBadge*>();
        QAction* refreshAll = child<QAction>(&f.view, "refreshAllButton");
        QVERIFY(!refreshAll->isEnabled());
        // The menu's items never grey out.
        for (const char* name :
             {"connectAction", "disconnectAction", "refreshAllAction", "refreshPortsAction"})
            QVERIFY(child<QAction>(&f.view, name)->isEnabled());

        f.connect();
        QVERIFY(refreshAll->isEnabled());
        QCOMPARE(badge->text(), QStringLiteral("Display antwortet"));
        QCOMPARE(badge->color(), Style::color(Style::Tone::green, badge));
        child<QPushButton>(&f.view, "disconnectButton")->click();
        QVERIFY(!refreshAll->isEnabled());
        f.lines.openFailure = SerialPortError::openFailed("/dev/ttyUSB0", EBUSY);
        f.controller->connectLine();
        QCOMPARE(badge->text(), QStringLiteral("Fehler"));
        QCOMPARE(badge->color(), Style::color(Style::Tone::red, badge));
        QCOMPARE(badge->toolTip(), f.controller->connection().reason); // one hover away
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

    void readsTheAutoConnectArgument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("autoConnect"); // null: not given; "!": the arguments are wrong
        QTest::newRow("none") << QStringList{} << QString();
        QTest::newRow("single dash") << QStringList{"-autoConnect", "sim://x"} << "sim://x";
        QTest::newRow("value missing") << QStringList{"-autoConnect"} << "!";
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

    // A dock matches windows to the installed desktop entry by its id and shows its icon.
    // Started from the build folder nothing is installed: the built-in copy must draw (which
    // needs Qt's SVG plugin), an opaque screen in the middle, nothing in the lower left corner.
    void identityMatchesTheDesktopEntry()
    {
        applyDesktopIdentity();
        const QString id = QGuiApplication::desktopFileName();
        QFile entry(QStringLiteral(DATA_DIR "/") + id + QStringLiteral(".desktop"));
        QVERIFY2(entry.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(entry.fileName()));
        QVERIFY(entry.readAll().split('\n').contains("Icon=" + id.toUtf8()));
        QVERIFY(!QGuiApplication::windowIcon().isNull());
        QTemporaryDir emptyThemes;
        QIcon::setThemeSearchPaths({emptyThemes.path()});
        const QImage small = applicationIcon().pixmap(16, 16).toImage();
        QCOMPARE(small.size(), QSize(16, 16));
        QCOMPARE(qAlpha(small.pixel(8, 6)), 255);
        QCOMPARE(qAlpha(small.pixel(0, 15)), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
