#include "app/shell/Screenshots.h"

#include "app/dashboard/CommandStatus.h"
#include "app/dashboard/InputCard.h"
#include "app/settings/SettingsWindow.h"
#include "app/shell/MainWindow.h"
#include "app/sidebar/PortDoctorDialog.h"
#include "app/terminal/TerminalView.h"
#include "app/widgets/TileButton.h"
#include "controller/DisplayController.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "controller/StoreKeys.h"
#include "controller/TrafficLog.h"
#include "discovery/PortScanner.h"
#include "doctor/PortDiagnosis.h"
#include "doctor/PortDoctor.h"
#include "protocol/InputSource.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <tuple>
#include <unistd.h>

namespace {

// The size the AppStream metadata gives for the README's picture.
const QSize windowSize(1360, 900);
// Generous: the simulator answers within milliseconds, but a loaded machine may be slow.
constexpr int answerTimeoutMs = 10000;
constexpr int pollMs = 50;

// Runs the event loop until the condition holds or the time is up.
bool processUntil(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(pollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Lets layouts, palette changes and the first poll replies settle.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& widget, const QDir& directory, const QString& name)
{
    const QString path = directory.filePath(name);
    const bool saved = widget.grab().save(path);
    QTextStream(stdout) << (saved
                                ? path
                                : QCoreApplication::translate("Screenshots", "FEHLER %1").arg(path))
                        << Qt::endl;
    return saved;
}

// A dark palette for Fusion, as dark desktop themes give it.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x2d, 0x2d, 0x2d);
    const QColor base(0x1f, 0x1f, 0x1f);
    const QColor text(0xee, 0xee, 0xee);
    const QColor muted(0x9a, 0x9a, 0x9a);
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::AlternateBase})
        palette.setColor(role, window);
    palette.setColor(QPalette::Base, base);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                            QPalette::ToolTipText, QPalette::BrightText})
        palette.setColor(role, text);
    palette.setColor(QPalette::ToolTipBase, window.lighter(130));
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xc8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x5e, 0xa1, 0xff));
    palette.setColor(QPalette::Light, window.lighter(150));
    palette.setColor(QPalette::Midlight, window.lighter(125));
    palette.setColor(QPalette::Mid, window.darker(120));
    palette.setColor(QPalette::Dark, window.darker(150));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7a, 0x7a));
    return palette;
}

// A fresh store, controller and main window, shown at `size`: the user's own settings are
// never touched. `shownPanes`: the store's keys of panes to show; `port`: chosen, not opened.
struct Scene {
    QTemporaryDir scratch;
    QSettings store{scratch.filePath(QStringLiteral("Bildwart.conf")), QSettings::IniFormat};
    std::unique_ptr<DisplayController> controller;
    std::unique_ptr<MainWindow> window; // gone before the controller it shows

    Scene(QSize size, const QStringList& shownPanes, ControllerOptions options = {},
          const QString& port = {})
    {
        for (const QString& key : shownPanes)
            store.setValue(key, true);
        options.connectAtStartup = false;
        controller =
            std::make_unique<DisplayController>(ControllerSettings::load(store).settings, options);
        if (!port.isEmpty())
            controller->ports().select(port);
        window = std::make_unique<MainWindow>(*controller, store);
        window->resize(size);
        window->show();
        settle(300);
    }
};

// Connects to the display simulator and waits until it has told who it is.
bool connectToSimulator(DisplayController& controller)
{
    controller.ports().select(SerialPortInfo::smartSimulatorPath);
    controller.connectLine();
    const bool answered = processUntil(
        [&] {
            const DisplayState& display = controller.display().state();
            return display.displayAnswered() &&
                   display.standing(DisplaySetting::modelNumber) == DisplayState::Standing::live;
        },
        answerTimeoutMs);
    if (!answered)
        QTextStream(stderr) << QCoreApplication::translate("Screenshots",
                                                           "Der Simulator hat nicht geantwortet.")
                            << Qt::endl;
    return answered;
}

// One font size: a fresh store, controller and window, pictured light and dark, connected to
// the display simulator and not. The palette changes while the window is open, as a desktop
// switching its theme would.
bool picturesAt(int points, const QDir& directory)
{
    QFont font = QApplication::font();
    font.setPointSize(points);
    QApplication::setFont(font);
    const QPalette light = QApplication::style()->standardPalette();
    QApplication::setPalette(light);

    Scene scene(windowSize, {StoreKeys::terminalVisible, StoreKeys::loopbackVisible});
    DisplayController& controller = *scene.controller;
    MainWindow& window = *scene.window;

    const QString stem = QStringLiteral("main-%1pt-").arg(points);
    bool ok = save(window, directory, stem + QStringLiteral("light-disconnected.png"));
    if (points == 12) {
        if (auto* picker = window.findChild<QComboBox*>(QStringLiteral("portPicker"))) {
            picker->showPopup();
            settle(300);
            ok &= save(*picker->view()->window(), directory, QStringLiteral("port-list.png"));
            picker->hidePopup();
        }
    }

    ok &= connectToSimulator(controller);
    settle(1500);
    ok &= save(window, directory, stem + QStringLiteral("light-connected.png"));

    if (points == 12) {
        SettingsWindow* settings = window.showSettings();
        for (const QString& tab : {QStringLiteral("test"), QStringLiteral("serial")}) {
            settings->setCurrentTab(tab);
            settle(300);
            ok &= save(*settings, directory, QStringLiteral("settings-%1-light.png").arg(tab));
        }
        settings->close();
    }

    QApplication::setPalette(darkPalette());
    settle(300);
    ok &= save(window, directory, stem + QStringLiteral("dark-connected.png"));
    if (points == 12) {
        SettingsWindow* settings = window.showSettings();
        settings->setCurrentTab(QStringLiteral("test"));
        settle(300);
        ok &= save(*settings, directory, QStringLiteral("settings-test-dark.png"));
        settings->close();
    }
    controller.disconnectLine();
    settle(300);
    ok &= save(window, directory, stem + QStringLiteral("dark-disconnected.png"));
    QApplication::setPalette(light);
    return ok;
}

// What the window claims on a port where nothing answers: the simulator's values as last
// known from another port, a click under way, the same click failed; and the terminal with a
// search over hex rows. The silent port is a pseudo-terminal nobody reads.
bool truthPictures(const QDir& directory)
{
    const int silent = ::posix_openpt(O_RDWR | O_NOCTTY);
    const char* slave = silent >= 0 && ::grantpt(silent) == 0 && ::unlockpt(silent) == 0
                            ? ::ptsname(silent)
                            : nullptr;
    if (!slave) {
        QTextStream(stderr) << QCoreApplication::translate("Screenshots",
                                                           "Kein Pseudo-Terminal verfügbar.")
                            << Qt::endl;
        return false;
    }
    const QString silentPath = QString::fromLocal8Bit(slave);
    const auto closeSilent = qScopeGuard([silent] { ::close(silent); });

    Scene scene(windowSize, {StoreKeys::terminalVisible});
    DisplayController& controller = *scene.controller;
    MainWindow& window = *scene.window;
    bool ok = connectToSimulator(controller);
    settle(500);
    controller.disconnectLine();
    controller.ports().select(silentPath);
    controller.connectLine();
    settle(800);
    ok &= save(window, directory, QStringLiteral("main-last-known.png"));

    auto* inputs = window.findChild<InputCard*>();
    TileButton* hdmi2 = nullptr;
    for (TileButton* tile : inputs->findChildren<TileButton*>()) {
        if (tile->title() == InputSource::labelFor(QStringLiteral("hdmi2")))
            hdmi2 = tile;
    }
    if (!hdmi2)
        return false;
    hdmi2->click();
    settle(100);
    ok &= save(*inputs, directory, QStringLiteral("control-pending.png"));
    auto* status = inputs->findChild<CommandStatus*>();
    // Behind the start-up queries, each of which waits for its timeout on a silent port.
    ok &= processUntil([&] { return status->text().startsWith(u"Nicht"); }, 6 * answerTimeoutMs);
    settle(100);
    ok &= save(*inputs, directory, QStringLiteral("control-failed.png"));

    controller.disconnectLine();
    ok &= connectToSimulator(controller);
    settle(1500);
    controller.log().setShowHex(true);
    auto* terminal = window.findChild<TerminalView*>();
    terminal->startSearch();
    if (auto* search = terminal->findChild<QLineEdit*>(QStringLiteral("terminalSearch")))
        search->setText(QStringLiteral("volume"));
    settle(300);
    ok &= save(*terminal, directory, QStringLiteral("terminal-search-hex.png"));
    return ok;
}

// The small screen of many a classroom laptop, and a font for 144 dpi (10 pt there is 15 pt
// here), connected to the simulator.
bool sizePictures(const QDir& directory)
{
    bool ok = true;
    for (const auto& [points, size, name] :
         {std::tuple{9, QSize(1024, 700), QStringLiteral("main-1024x700.png")},
          std::tuple{15, windowSize, QStringLiteral("main-144dpi.png")}}) {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
        Scene scene(size, {StoreKeys::terminalVisible});
        ok &= connectToSimulator(*scene.controller);
        settle(1500);
        ok &= save(*scene.window, directory, name);
    }
    return ok;
}

const QString picturedPort =
    QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5VJ8-if00-port0");

// One FTDI adapter, whatever this computer has plugged in.
class PicturedScanner final : public PortScanner {
public:
    QList<SerialPortInfo> scanPorts() override
    {
        return {{picturedPort, QStringLiteral("FT232R USB UART"),
                 QStringLiteral("FTDI FT232R USB UART · USB"), false}};
    }
    QList<UnboundAdapter> scanAdapters() override { return {}; }
};

// The adapter's node belongs to "dialout", which the user is not in, and it holds bytes for
// 16 ms: what the doctor finds on many a fresh installation, judged by the doctor's own rules.
class PicturedDoctor final : public PortDoctor {
public:
    QList<PortReport> examineAll() override { return {examine(picturedPort, Depth::full, {})}; }
    PortReport examine(const QString& path, Depth, const QByteArray&) override
    {
        PortFacts facts;
        facts.port = path;
        facts.title = QStringLiteral("FT232R USB UART");
        facts.node = QStringLiteral("/dev/ttyUSB0");
        facts.driver = QStringLiteral("ftdi_sio");
        facts.vendorID = 0x0403;
        facts.productID = 0x6001;
        facts.nodeAttributes = NodeAttributes{0, 20, QStringLiteral("dialout"), 0660};
        facts.user = {1000, QStringLiteral("anna"), {1000, 27}, {1000, 27}};
        facts.latencyTimerMs = 16;
        return {facts, PortDiagnosis::findings(facts)};
    }
    QString explainOpenFailure(const QString& path, int errnum) override
    {
        return PortDiagnosis::openFailureNote(examine(path, Depth::quick, {}).facts, errnum);
    }
};

// The sidebar with the doctor's finding under the selected port, and its details dialog.
bool doctorPictures(const QDir& directory)
{
    ControllerOptions options;
    options.scanner = std::make_shared<PicturedScanner>();
    options.doctor = std::make_shared<PicturedDoctor>();
    Scene scene(windowSize, {}, options, picturedPort);
    MainWindow& window = *scene.window;

    QWidget* sidebar = window.findChild<QWidget*>(QStringLiteral("connectionSidebar"));
    auto* details = window.findChild<QLabel*>(QStringLiteral("portDoctorDetails"));
    if (!sidebar || !details || !details->isVisible()) {
        QTextStream(stderr) << QCoreApplication::translate(
                                   "Screenshots", "Keine Port-Diagnose in der Seitenleiste.")
                            << Qt::endl;
        return false;
    }
    bool ok = save(*sidebar, directory, QStringLiteral("port-doctor-sidebar.png"));
    emit details->linkActivated(QStringLiteral("details"));
    settle(300);
    auto* dialog = window.findChild<PortDoctorDialog*>();
    ok &= dialog && save(*dialog, directory, QStringLiteral("port-doctor-dialog.png"));
    if (dialog)
        dialog->close();
    return ok;
}

} // namespace

int takeScreenshots(const QString& directory)
{
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << QCoreApplication::translate("Screenshots",
                                                           "Ordner nicht anlegbar: %1")
                                   .arg(directory)
                            << Qt::endl;
        return 1;
    }
    QApplication::setStyle(QStringLiteral("Fusion"));
    bool ok = true;
    for (const int points : {9, 12})
        ok &= picturesAt(points, dir);
    QFont font = QApplication::font();
    font.setPointSize(12);
    QApplication::setFont(font);
    ok &= doctorPictures(dir);
    ok &= truthPictures(dir);
    ok &= sizePictures(dir);
    return ok ? 0 : 1;
}
