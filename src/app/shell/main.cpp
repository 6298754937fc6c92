#include "app/shell/DesktopIdentity.h"
#include "app/shell/LaunchOptions.h"
#include "app/shell/MainWindow.h"
#include "app/shell/Screenshots.h"
#include "app/style/Icons.h"
#include "controller/DisplayController.h"
#include "controller/StoreWriter.h"
#include "controller/TrafficLog.h"
#include "process/TerminationSignals.h"
#include "session/LineServer.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QSettings>
#include <QTextStream>
#include <QTranslator>
#include <optional>

namespace {

// Qt's own texts (standard buttons, file dialogs, command-line help) in German, like the rest of
// the interface. Without the translation package they stay English; nothing else changes.
void installGermanQtTexts(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_de"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

// --help and --version answer without a display, so they are looked at before the GUI starts.
// Anything else waits for QApplication, which takes its own options (-platform, -style) away.
std::optional<int> answerWithoutGui(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    installGermanQtTexts(app);
    LaunchOptions launchOptions;
    if (!launchOptions.parse(QCoreApplication::arguments()))
        return std::nullopt;
    if (launchOptions.helpRequested()) {
        QTextStream(stdout) << launchOptions.helpText();
        return 0;
    }
    if (launchOptions.versionRequested()) {
        QTextStream(stdout) << "Bildwart " << BILDWART_VERSION << Qt::endl;
        return 0;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const auto exitCode = answerWithoutGui(argc, argv))
        return *exitCode;

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvorn"));
    QApplication::setApplicationName(QStringLiteral("Bildwart"));
    QApplication::setApplicationVersion(QStringLiteral(BILDWART_VERSION));
    installGermanQtTexts(app);
    installIconSearchPath();
    applyDesktopIdentity();

    LaunchOptions launchOptions;
    if (!launchOptions.parse(QApplication::arguments())) {
        QTextStream(stderr) << launchOptions.errorText() << "\n\n" << launchOptions.helpText();
        return 1;
    }
    // The screenshot run keeps its own settings, never the user's.
    if (const QString directory = launchOptions.screenshotDirectory(); !directory.isEmpty())
        return takeScreenshots(directory);

    QSettings store;
    const ControllerSettings::Loaded stored = ControllerSettings::load(store);
    DisplayController controller(stored.settings);
    for (const QString& problem : stored.problems)
        controller.log().info(problem);
    StoreWriter storeWriter(controller, store);
    MainWindow window(controller, store,
                      LaunchOptions::autoConnectPath(launchOptions.autoConnect(), store));
    // Scripts and "bildwartctl" use the window's line through its session.
    LineServer server(controller, QStringLiteral("bildwart"));
    window.showGuestsOf(server);
    window.show();
    // Logging out or `kill` ends the program as closing the window does: the window's place is
    // stored, the line closed and the settings written.
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, [&window] {
        window.close();
        QCoreApplication::quit();
    });
    return app.exec();
}
