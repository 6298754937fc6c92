#include "app/shell/LaunchOptions.h"
#include "controller/StoreKeys.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

const QString& autoConnectKey = StoreKeys::autoConnect;

QCommandLineOption hidden(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

} // namespace

LaunchOptions::LaunchOptions()
    : m_help({QStringLiteral("h"), QStringLiteral("help")},
             QCoreApplication::translate("LaunchOptions", "Zeigt diese Hilfe."))
    , m_version({QStringLiteral("v"), QStringLiteral("version")},
                QCoreApplication::translate("LaunchOptions", "Zeigt die Versionsnummer."))
    , m_autoConnect(autoConnectKey,
                    QCoreApplication::translate(
                        "LaunchOptions", "Verbindet beim Start mit diesem Port (nur für diesen "
                                         "Start), z.\u00A0B. /dev/ttyUSB0 oder simulator://smart."),
                    QCoreApplication::translate("LaunchOptions", "PFAD"))
    , m_screenshot(hidden(QCommandLineOption(
          QStringLiteral("screenshot"),
          QCoreApplication::translate("LaunchOptions", "Bilder der Fenster ablegen."),
          QCoreApplication::translate("LaunchOptions", "ORDNER"))))
{
    m_parser.setApplicationDescription(QCoreApplication::translate(
        "LaunchOptions", "Fernbedienung für SMART-Displays über RS-232 und "
                         "Prüfplatz für serielle Leitungen."));
    // "-autoConnect PATH" is one option, not the letters a, u, t, …
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
    m_parser.addOption(m_autoConnect);
    m_parser.addOption(m_screenshot);
}

bool LaunchOptions::parse(const QStringList& arguments)
{
    return m_parser.parse(arguments);
}

std::optional<QString> LaunchOptions::autoConnect() const
{
    if (!m_parser.isSet(m_autoConnect))
        return std::nullopt;
    return m_parser.value(m_autoConnect);
}

QString LaunchOptions::autoConnectPath(const std::optional<QString>& launchArgument,
                                       const QSettings& store)
{
    if (launchArgument)
        return *launchArgument;
    return store.value(autoConnectKey).toString();
}
