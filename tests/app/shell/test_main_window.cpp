// The program's start and its main window (on the 1920 x 1080 screen of CMakeLists.txt), and
// what real desktops do to it: their fonts, a dark palette, the wheel, the keyboard.
#include "app/UiFixture.h"
#include "app/dashboard/AudioCard.h"
#include "app/settings/SettingsWindow.h"
#include "app/shell/ConnectionBadge.h"
#include "app/shell/DesktopIdentity.h"
#include "app/shell/LaunchOptions.h"
#include "app/shell/MainWindow.h"
#include "app/style/Icons.h"
#include "app/widgets/ElidedLabel.h"
#include "app/widgets/Picker.h"
#include "app/widgets/SegmentedControl.h"
#include "app/widgets/TileButton.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QSplitter>
#include <QSpontaneKeyEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <cerrno>

namespace {

// The application's font at this size while it lives; the one before after.
class ApplicationFont {
public:
    explicit ApplicationFont(int points)
        : m_original(QApplication::font())
    {
        QFont font = m_original;
        font.setPointSize(points);
        QApplication::setFont(font);
    }
    ~ApplicationFont() { QApplication::setFont(m_original); }
    ApplicationFont(const ApplicationFont&) = delete;
    ApplicationFont& operator=(const ApplicationFont&) = delete;

private:
    const QFont m_original;
};

const QString longPath = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5VJ8-if00");

// A display with long values everywhere.
QByteArray talkative(const QString& line)
{
    static const QHash<QString, QByteArray> values{
        {"modelnum", "SBID-QX286-V3-PW"},
        {"serialnum", "SIM0000001234567"},
        {"partnum", "1026587-AB"},
        {"fwversion", "1.07.0021.4711"},
        {"powerstate", "updateready"},
        {"input", "android"},
        {"volume", "100"},
    };
    const QString name = line.mid(4);
    if (line.startsWith(u"get ") && values.contains(name))
        return "\r\n" + name.toUtf8() + '=' + values[name] + "\r\n>";
    return answerEverything(line);
}

// Why a widget's text does not fit (or, without a text, why it has no name), or an empty string.
QString cut(QWidget* w)
{
    const QFontMetrics metrics = w->fontMetrics();
    const auto elidedOnPurpose = [&](const QString& text, int room) {
        const bool elides = qobject_cast<ElidedLabel*>(w) || qobject_cast<Picker*>(w);
        return metrics.horizontalAdvance(text) <= room || (elides && w->toolTip() == text);
    };
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
        if (qobject_cast<ElidedLabel*>(label))
            return elidedOnPurpose(label->text(), label->contentsRect().width()) ? "" : "elided";
        if (label->wordWrap())
            return label->heightForWidth(label->width()) > label->height() ||
                           label->minimumSizeHint().width() > label->width()
                       ? "wrapped label too small"
                       : "";
        return label->sizeHint().width() > label->width() ? "label too narrow" : "";
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && button->text().isEmpty())
        return button->accessibleName().isEmpty() || button->toolTip().isEmpty() ? "no name" : "";
    if (auto* tile = qobject_cast<TileButton*>(w))
        return tile->minimumSizeHint().width() > tile->width() ||
                       tile->heightForWidth(tile->width()) > tile->height()
                   ? "tile too small"
                   : "";
    if (auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool box = qobject_cast<QCheckBox*>(button);
        const QRect room = w->style()->subElementRect(
            box ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, button);
        const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
        const int needed = metrics.size(Qt::TextShowMnemonic, button->text()).width() + icon;
        return needed > room.width() ? "button text cut" : "";
    }
    if (auto* picker = qobject_cast<Picker*>(w)) {
        QStyleOptionComboBox option;
        option.initFrom(picker);
        const QRect room = w->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, picker);
        return elidedOnPurpose(picker->currentText(), room.width() - 2) ? "" : "picker cut";
    }
    if (auto* segments = qobject_cast<SegmentedControl*>(w))
        return segments->minimumSizeHint().width() > segments->width() ? "segments cut" : "";
    return {};
}

// Why a widget reaches past what its parent shows, or ""; a scroll area's content may be taller.
QString outside(QWidget* w)
{
    QWidget* parent = w->parentWidget();
    if (auto* area = qobject_cast<QScrollArea*>(parent ? parent->parentWidget() : nullptr);
        area && area->widget() == w)
        return w->width() > area->viewport()->width() ? "content wider than its area" : "";
    return parent && !parent->rect().contains(w->geometry()) ? "outside its parent" : "";
}

// A main window on a connected fake display, active, low enough that both columns scroll.
struct Window : With<MainWindow> {
    Window()
    {
        view.setFixedSize(1100, 700);
        QApplication::setActiveWindow(&view);
        connect();
    }
};

// A turn of the wheel over the middle of the widget, delivered as the window system does.
void turnWheel(QWidget* widget, int delta)
{
    QWidget* window = widget->window();
    const QPoint at = widget->mapTo(window, widget->rect().center());
    QWidget* under = window->childAt(at);
    QWheelEvent wheel(under->mapFrom(window, at), window->mapToGlobal(at), {}, {0, delta},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    // Not sendEvent(), which makes every event a synthetic one: those are not passed on.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(under, &wheel);
}

// The widgets Tab visits inside `area`, in the order it visits them.
QList<QWidget*> tabChain(QWidget* area)
{
    QList<QWidget*> chain;
    QWidget* w = area;
    while ((w = w->nextInFocusChain()) != area) {
        if (area->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisible() &&
            w->isEnabled() && !w->focusProxy())
            chain.append(w);
    }
    return chain;
}

} // namespace

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
        QStringList menus;
        for (QAction* menu : f.view.menuBar()->actions())
            menus.append(menu->text().remove(u'&'));
        QCOMPARE(menus, QStringList({"Datei", "Ansicht", "Display", "Hilfe"}));

        f.connect();
        QVERIFY(refreshAll->isEnabled());
        QCOMPARE(badge->text(), QStringLiteral("Display antwortet"));
        QCOMPARE(badge->color(), Style::color(Style::Tone::green, badge));
        child<QPushButton>(&f.view, "disconnectButton")->click();
        QVERIFY(!refreshAll->isEnabled());
        f.lines.openFailure = LineError::openFailed("/dev/ttyUSB0", EBUSY);
        f.controller->connectLine();
        QCOMPARE(badge->text(), QStringLiteral("Fehler"));
        QCOMPARE(badge->color(), Style::color(Style::Tone::red, badge));
        QCOMPARE(badge->toolTip(), f.controller->line().connection().reason); // one hover away
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
        f.setPolling(false, 5); // only the shortcuts ask the display
        MainWindow window(*f.controller, f.store.settings(), SerialPortInfo::smartSimulatorPath);
        QCOMPARE(f.controller->line().connection(),
                 ConnectionState::disconnected()); // not before shown
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->line().hearsBytes(), waitMs);
        QSignalSpy transitions(&f.controller->line(), &LineSession::connectionChanged);
        window.hide();
        window.show(); // showing again does not reconnect
        QTest::qWait(50);
        QCOMPARE(transitions.count(), 0);

        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.controller->line().connection(), ConnectionState::disconnected());
        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->line().hearsBytes(), waitMs);
        // Connected by its button, the keyboard goes to the display's controls, not to a
        // parameter of the live line.
        QTest::keyClick(&window, Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier);
        QApplication::setActiveWindow(&window); // shown again above
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto* connectButton = child<QPushButton>(&window, "connectButton");
        connectButton->setFocus();
        QVERIFY(connectButton->hasFocus());
        QTest::keyClick(connectButton, Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->line().hearsBytes(), waitMs);
        QVERIFY(
            child<QWidget>(&window, "dashboardView")->isAncestorOf(QApplication::focusWidget()) ||
            QApplication::focusWidget() == child<QWidget>(&window, "dashboardView"));
        const qsizetype asked = f.logTexts(Kind::tx).count("get volume");
        QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(f.logTexts(Kind::tx).count("get volume") > asked, waitMs);
        f.scanner->list("/dev/ttyUSB3");
        QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(f.controller->ports().ports().first().path, QStringLiteral("/dev/ttyUSB3"));
        QTest::keyClick(&window, Qt::Key_Comma, Qt::ControlModifier);
        auto* settings = window.findChild<SettingsWindow*>();
        QVERIFY(settings && settings->isVisible());
        settings->close();
        child<QAction>(&window, "settingsAction")->trigger(); // the same window again
        QVERIFY(settings->isVisible());
        QCOMPARE(window.findChildren<SettingsWindow*>().size(), 1);
        QTest::keyClick(&window, Qt::Key_L, Qt::ControlModifier);
        QVERIFY(child<QLineEdit>(&window, "terminalInput")->hasFocus());
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!window.isVisible() && !settings->isVisible());
    }

    void nothingCutAtDesktopFonts_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("connected"); // or waiting for a pulled adapter
        for (const int points : {9, 11, 13}) {
            for (const QSize size : {QSize(1280, 800), QSize(1600, 1000)}) {
                for (const bool connected : {true, false})
                    QTest::addRow("%d pt, %dx%d, %s", points, size.width(), size.height(),
                                  connected ? "connected" : "waiting")
                        << points << size << connected;
            }
        }
    }
    void nothingCutAtDesktopFonts()
    {
        QFETCH(int, points);
        QFETCH(QSize, size);
        QFETCH(bool, connected);
        const ApplicationFont font(points);

        UiFixture f;
        f.store.settings().setValue("loopbackVisible", true);
        f.scanner->adapters.append({"USB-Serial Controller", 0x067B, 0x2303, "A12", std::nullopt});
        f.doctor->facts.latencyTimerMs = 16; // the doctor's line and its link under the port
        MainWindow window(*f.controller, f.store.settings());
        window.setFixedSize(size);
        window.show();
        f.lines.display = talkative;
        f.connectTo(longPath);
        f.clock->advance(1);
        f.lines.receive(QByteArray(123456, 'x'));
        if (!connected) { // lost twice: waiting, with the warning about repeated losses
            f.lines.lose("weg");
            f.clock->advance(1);
            f.scanner->unlist(longPath);
            f.lines.lose("weg");
        }
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int i = 0; i < 5; ++i) // layouts settle in a few rounds (scroll bars come and go)
            QCoreApplication::processEvents();

        QStringList problems;
        for (const char* region : {"connectionSidebar", "dashboardView", "terminalView"}) {
            for (QWidget* w : child<QWidget>(&window, region)->findChildren<QWidget*>()) {
                if (!w->isVisible())
                    continue;
                for (const QString& problem : {cut(w), outside(w)}) {
                    if (!problem.isEmpty()) // what, where, which text, needs, height for width
                        QDebug(&problems.emplaceBack())
                            << problem << w << w->property("text") << w->minimumSizeHint()
                            << w->heightForWidth(w->width());
                }
            }
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));

        // The sidebar's sections sit with equal margins left and right.
        auto* sidebar = child<QScrollArea>(&window, "connectionSidebar");
        const QRect section = child<QWidget>(&window, "portSection")->geometry();
        QCOMPARE(sidebar->viewport()->width() - section.right() - 1, section.left());
        QVERIFY(sidebar->width() >= 280 && sidebar->width() <= 360);
    }

    // A classroom laptop's screen: the first split shows every power and input tile without
    // scrolling and still six rows of the log. A 144-dpi font: the log keeps eight rows.
    void smallScreensSeeTilesAndLog_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("tilesSeen");
        QTest::addColumn<int>("rows");
        QTest::addRow("9 pt, 1024x700") << 9 << QSize(1024, 700) << true << 6;
        QTest::addRow("15 pt, 1360x900") << 15 << QSize(1360, 900) << false << 8;
    }
    void smallScreensSeeTilesAndLog()
    {
        QFETCH(int, points);
        QFETCH(QSize, size);
        QFETCH(bool, tilesSeen);
        QFETCH(int, rows);
        const ApplicationFont font(points);

        UiFixture f;
        MainWindow window(*f.controller, f.store.settings());
        window.setFixedSize(size);
        window.show();
        f.connect();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();

        auto* dashboard = child<QScrollArea>(&window, "dashboardView");
        const QRect seen = dashboard->viewport()->rect();
        const auto tiles = dashboard->findChildren<TileButton*>();
        QVERIFY(tiles.size() >= 14); // five power states, nine inputs
        for (TileButton* tile : tiles) {
            const QRect at(tile->mapTo(dashboard->viewport(), QPoint()), tile->size());
            QVERIFY(seen.contains(at) || !tilesSeen);
        }
        auto* log = window.findChild<QListView*>();
        const int rowHeight = log->itemDelegate()->sizeHint({}, {}).height();
        QVERIFY2(log->viewport()->height() >= rows * rowHeight,
                 qPrintable(QString::number(log->viewport()->height() / rowHeight)));
    }

    void darkPaletteIsFollowed()
    {
        With<MainWindow> f;
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        for (const auto& [role, color] : {std::pair{QPalette::Window, QColor(0x2b, 0x2b, 0x2b)},
                                          {QPalette::Base, QColor(0x1e, 0x1e, 0x1e)},
                                          {QPalette::WindowText, QColor(0xee, 0xee, 0xee)},
                                          {QPalette::ButtonText, QColor(0xee, 0xee, 0xee)},
                                          {QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0)}})
            dark.setColor(role, color);
        QApplication::setPalette(dark);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        for (int i = 0; i < 3; ++i) // the widgets hear of it on the next turns
            QCoreApplication::processEvents();

        // Panels, captions and pictured symbols take the new colours.
        QWidget* card = child<QWidget>(&f.view, "card");
        QVERIFY(card->grab().toImage().pixelColor(card->width() / 2, 4).lightness() < 80);
        const auto* caption =
            withText<QLabel>(&f.view, "Jeder RS-232-Befehl weckt das Display aus „Standby "
                                      "(Netzwerk)“ – in diesem Zustand fragt Bildwart höchstens "
                                      "einmal pro Minute nach.");
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(0xa0, 0xa0, 0xa0));
        const QImage icon = symbolIcon("gearshape").pixmap(16).toImage();
        QColor ink; // of the first opaque pixel
        for (int i = 0; i < 16 * 16 && !ink.isValid(); ++i)
            ink = icon.pixelColor(i % 16, i / 16).alpha() == 255 ? icon.pixelColor(i % 16, i / 16)
                                                                 : QColor();
        QCOMPARE(ink, QColor(0xee, 0xee, 0xee));
    }

    void wheelChangesOnlyWhatHasTheFocus()
    {
        for (const QString control : {"volume", "baudRatePicker", "pollIntervalStepper"}) {
            Window w;
            QVERIFY(QTest::qWaitForWindowActive(&w.view));
            DisplayController& c = *w.controller;
            QWidget* target = control == "volume"
                                  ? w.view.findChild<AudioCard*>()->findChild<QSlider*>()
                                  : child<QWidget>(&w.view, control);
            std::function<double()> value = [&] { return c.pump().polling().interval; };
            if (control == "volume")
                value = [&] {
                    return c.display().state().level(DisplaySetting::volume).value_or(-1);
                };
            else if (control == "baudRatePicker")
                value = [&] { return double(c.line().settings().baudRate); };
            auto* page = qobject_cast<QScrollArea*>(target->parentWidget());
            for (QWidget* p = target; !page; p = p->parentWidget())
                page = qobject_cast<QScrollArea*>(p);
            page->ensureWidgetVisible(target);
            QScrollBar* bar = page->verticalScrollBar();
            QVERIFY(bar->maximum() > 0);
            const int delta = bar->value() == bar->maximum() ? 120 : -120;
            const double before = value();
            const int scrolled = bar->value();

            turnWheel(target, delta);
            QCOMPARE(value(), before);
            QVERIFY(bar->value() != scrolled); // the page scrolled instead
            QVERIFY(!target->hasFocus());

            page->ensureWidgetVisible(target);
            target->setFocus(Qt::TabFocusReason);
            turnWheel(target, delta);
            QVERIFY(value() != before);
        }
    }

    // Tab follows what is seen; the arrows move within a tile group and Return presses.
    void keyboardFollowsTheVisualOrder()
    {
        Window w;
        w.view.setFixedSize(1600, 1600); // everything at once on screen
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        for (const char* area : {"connectionSidebar", "dashboardView"}) {
            QWidget* content = child<QScrollArea>(&w.view, area)->widget();
            const QList<QWidget*> chain = tabChain(content);
            QVERIFY(chain.size() >= 8);
            for (qsizetype i = 1; i < chain.size(); ++i) {
                const QRect a(chain[i - 1]->mapTo(content, QPoint()), chain[i - 1]->size());
                const QRect b(chain[i]->mapTo(content, QPoint()), chain[i]->size());
                // Below, or right of it on the same line, or the top of the next column.
                const bool sameLine = b.top() < a.bottom() && a.top() < b.bottom();
                const bool onward = sameLine ? b.left() >= a.right() : b.top() >= a.top();
                const bool nextColumn = b.left() > a.right() && !sameLine;
                QVERIFY2(onward || nextColumn, qPrintable(chain[i]->property("text").toString()));
            }
        }
        const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
        auto* first = withText<TileButton>(&w.view, "HDMI 1");
        auto* second = withText<TileButton>(&w.view, "HDMI 2");
        first->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Right);
        QVERIFY(second->hasFocus());
        press(Qt::Key_Down);
        auto* below = qobject_cast<TileButton*>(QApplication::focusWidget());
        QVERIFY(below && below->y() > second->y() && below->x() == second->x());
        press(Qt::Key_Up);
        press(Qt::Key_Left);
        QVERIFY(first->hasFocus());

        bool pressed = false;
        const QStringList sent = w.sentBy([&] {
            press(Qt::Key_Return); // an animated click
            pressed =
                QTest::qWaitFor([&] { return w.controller->display().state().input() == "hdmi1"; });
        });
        QVERIFY(pressed && sent.contains("set input=hdmi1"));
    }

    // "-autoConnect" is one word; the launch argument wins over the stored port, once.
    void launchOptions()
    {
        LaunchOptions none;
        QVERIFY(none.parse({"bildwart"}) && none.autoConnect() == std::nullopt);
        LaunchOptions given;
        QVERIFY(given.parse({"bildwart", "-autoConnect", "sim://x"}));
        QCOMPARE(given.autoConnect(), std::optional<QString>("sim://x"));
        LaunchOptions missing;
        QVERIFY(!missing.parse({"bildwart", "-autoConnect"}) && !missing.errorText().isEmpty());
        LaunchOptions help;
        QVERIFY(help.parse({"bildwart", "--help"}) && help.helpRequested());
        QVERIFY(help.helpText().contains("autoConnect"));
        QVERIFY(!help.helpText().contains("screenshot")); // for the developers only
        LaunchOptions version;
        QVERIFY(version.parse({"bildwart", "-v"}) && version.versionRequested());
        QVERIFY(!version.helpRequested());

        TemporaryStore store;
        QCOMPARE(LaunchOptions::autoConnectPath(std::nullopt, store.settings()), QString());
        store.settings().setValue("autoConnect", "/dev/ttyUSB1");
        QCOMPARE(LaunchOptions::autoConnectPath(std::nullopt, store.settings()), "/dev/ttyUSB1");
        QCOMPARE(LaunchOptions::autoConnectPath(QString("sim://x"), store.settings()), "sim://x");
    }

    // Pictures tell apart what they stand for; the program's icon and its desktop entry.
    void picturesAndIdentity()
    {
        for (const auto& [one, other] : {std::pair<QString, QString>{"power.circle.fill", "power"},
                                         {"sun.min", "sun.max.fill"},
                                         {"bolt.horizontal.circle", "cable.connector.slash"},
                                         {inputSymbol("hdmi1"), inputSymbol("usbc1")}}) {
            const QImage a = symbolPixmap(one, 24, Qt::black).toImage();
            QVERIFY2(!a.isNull() && !symbolPixmap(other, 24, Qt::black).isNull(), qPrintable(one));
            QVERIFY2(a != symbolPixmap(other, 24, Qt::black).toImage(), qPrintable(one));
        }

        // A dock finds the desktop entry by the id; uninstalled, the built-in icon must draw
        // (with Qt's SVG plugin): opaque in the middle, nothing in the lower left corner.
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
