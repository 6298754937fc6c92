#pragma once

#include "line/SerialSettings.h"
#include "protocol/DisplaySeries.h"

#include <QString>
#include <QStringList>

class QSettings;

// What the controller keeps between runs. A plain value: the controller is given one and
// announces changes; only the edge (the application's store) reads and writes the file.
struct ControllerSettings {
    SerialSettings serial = SerialSettings::smartStandard();
    QString lastPortPath; // the last hardware port or network address connected
    bool pollingEnabled = true;
    double pollingInterval = 5.0; // seconds
    DisplaySeries series = DisplaySeries::qx;
    bool autoReconnect = true;
    QStringList recentNetworkAddresses; // newest first

    bool operator==(const ControllerSettings&) const = default;

    struct Loaded;
    // The values under the store's keys; what is missing or does not read keeps its
    // default, and each value that did not read is named in `problems`.
    static Loaded load(const QSettings& store);
    // Writes the keys whose values differ from `before`.
    void save(QSettings& store, const ControllerSettings& before) const;
};

struct ControllerSettings::Loaded {
    ControllerSettings settings;
    QStringList problems; // German, one sentence each
};
