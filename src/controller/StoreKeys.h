#pragma once

#include <QString>

// Every key of the settings store ($XDG_CONFIG_HOME/Halvorn/Bildwart.conf), in one place.
// Stored files outlive versions of the program: a key once released keeps its spelling.
namespace StoreKeys {

// The controller's
inline const QString serialSettings = QStringLiteral("serialSettings"); // JSON of the line settings
inline const QString lastPortPath = QStringLiteral("lastPortPath"); // last hardware port connected
inline const QString pollingEnabled = QStringLiteral("pollingEnabled");
inline const QString pollingInterval = QStringLiteral("pollingInterval"); // seconds
inline const QString displaySeries = QStringLiteral("displaySeries");     // "QX" or "RX"
inline const QString autoReconnect = QStringLiteral("autoReconnect");
// Network addresses entered lately, newest first, as a list of strings.
inline const QString recentNetworkAddresses = QStringLiteral("recentNetworkAddresses");

// The window's
inline const QString terminalVisible = QStringLiteral("terminalVisible");
inline const QString loopbackVisible = QStringLiteral("loopbackVisible");
inline const QString terminalHidesPolls =
    QStringLiteral("terminalHidesPolls"); // "Abfragen ausblenden"
// Lines sent from the terminal's input, oldest first, one list per mode.
inline const QString terminalHistorySmart = QStringLiteral("terminalHistorySmart");
inline const QString terminalHistoryRaw = QStringLiteral("terminalHistoryRaw");
inline const QString windowGeometry = QStringLiteral("windowGeometry"); // the main window's place
inline const QString detailSplit = QStringLiteral("detailSplit");       // dashboard over terminal
inline const QString settingsTab = QStringLiteral("settingsTab");       // "serial" or "test"
inline const QString autoConnect = QStringLiteral("autoConnect"); // a port to connect to at start

} // namespace StoreKeys
