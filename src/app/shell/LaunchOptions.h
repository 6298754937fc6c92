#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <optional>

class QSettings;

// The program's arguments: --help, --version, the port to connect to at start
// (-autoConnect PATH, also written --autoConnect PATH) and the hidden screenshot run.
class LaunchOptions {
public:
    LaunchOptions();

    // False for unknown options or a missing value; errorText() then says why.
    bool parse(const QStringList& arguments);
    QString errorText() const { return m_parser.errorText(); }
    bool helpRequested() const { return m_parser.isSet(m_help); }
    bool versionRequested() const { return m_parser.isSet(m_version); }
    QString helpText() const { return m_parser.helpText(); }

    std::optional<QString> autoConnect() const;
    QString screenshotDirectory() const { return m_parser.value(m_screenshot); }

    // The port to connect to at start: the launch argument for this launch only, else the
    // stored "autoConnect" value; empty for none.
    static QString autoConnectPath(const std::optional<QString>& launchArgument,
                                   const QSettings& store);

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QCommandLineOption m_autoConnect;
    QCommandLineOption m_screenshot;
};
