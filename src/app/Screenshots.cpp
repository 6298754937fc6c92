#include "app/Screenshots.h"

#include "app/MainWindow.h"
#include "app/settings/SettingsWindow.h"
#include "controller/DisplayController.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <functional>

namespace {

// Generous: the simulator answers within milliseconds, but a loaded machine may be slow.
constexpr int settleTimeoutMs = 10000;
// How long the event loop runs between two looks at the condition.
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

// Lets layouts and timers settle for a moment (e.g. the first poll replies).
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
    QTextStream(stdout) << (saved ? "" : "FEHLER ") << path << Qt::endl;
    return saved;
}

} // namespace

int takeScreenshots(MainWindow& window, DisplayController& controller, const QString& directory)
{
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "Ordner nicht anlegbar: " << directory << Qt::endl;
        return 1;
    }
    bool ok = true;
    window.show();
    settle(300);
    ok &= save(window, dir, QStringLiteral("main-disconnected.png"));

    if (auto* picker = window.findChild<QComboBox*>(QStringLiteral("portPicker"))) {
        picker->showPopup();
        settle(300);
        ok &= save(*picker->view()->window(), dir, QStringLiteral("port-list.png"));
        picker->hidePopup();
    }

    controller.setSelectedPath(SerialPortInfo::smartSimulatorPath);
    controller.connectLine();
    const bool answered = processUntil(
        [&] {
            return controller.displayResponding() && !controller.display().modelNumber.isEmpty();
        },
        settleTimeoutMs);
    if (!answered)
        QTextStream(stderr) << "Der Simulator hat nicht geantwortet." << Qt::endl;
    ok &= answered;
    settle(1500);
    ok &= save(window, dir, QStringLiteral("main-connected.png"));

    SettingsWindow* settings = window.showSettings();
    settings->setCurrentTab(QStringLiteral("test"));
    settle(300);
    ok &= save(*settings, dir, QStringLiteral("settings-test.png"));
    settings->setCurrentTab(QStringLiteral("serial"));
    settle(300);
    ok &= save(*settings, dir, QStringLiteral("settings-serial.png"));

    controller.disconnectLine();
    return ok ? 0 : 1;
}
