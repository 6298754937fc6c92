#include "controller/ControllerSettings.h"

#include "controller/StoreKeys.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

QString unreadable(const QString& key, const QString& keeps)
{
    return QCoreApplication::translate("ControllerSettings",
                                       "Gespeicherter Wert „%1“ ist unlesbar – es gilt %2.")
        .arg(key, keeps);
}

} // namespace

ControllerSettings::Loaded ControllerSettings::load(const QSettings& store)
{
    Loaded loaded;
    ControllerSettings& s = loaded.settings;
    if (store.contains(StoreKeys::serialSettings)) {
        if (const auto serial =
                SerialSettings::fromJson(store.value(StoreKeys::serialSettings).toByteArray()))
            s.serial = *serial;
        else
            loaded.problems.append(unreadable(StoreKeys::serialSettings, s.serial.summary()));
    }
    s.lastPortPath = store.value(StoreKeys::lastPortPath).toString();
    if (store.contains(StoreKeys::pollingEnabled))
        s.pollingEnabled = store.value(StoreKeys::pollingEnabled).toBool();
    if (const double interval = store.value(StoreKeys::pollingInterval, 0.0).toDouble();
        interval > 0)
        s.pollingInterval = interval;
    if (const auto series = displaySeriesFromRaw(store.value(StoreKeys::displaySeries).toString()))
        s.series = *series;
    if (store.contains(StoreKeys::autoReconnect))
        s.autoReconnect = store.value(StoreKeys::autoReconnect).toBool();
    s.recentNetworkAddresses = store.value(StoreKeys::recentNetworkAddresses).toStringList();
    return loaded;
}

void ControllerSettings::save(QSettings& store, const ControllerSettings& before) const
{
    if (serial != before.serial) {
        if (const auto json = serial.toJson())
            store.setValue(StoreKeys::serialSettings, *json);
    }
    if (lastPortPath != before.lastPortPath)
        store.setValue(StoreKeys::lastPortPath, lastPortPath);
    if (pollingEnabled != before.pollingEnabled)
        store.setValue(StoreKeys::pollingEnabled, pollingEnabled);
    if (pollingInterval != before.pollingInterval)
        store.setValue(StoreKeys::pollingInterval, pollingInterval);
    if (series != before.series)
        store.setValue(StoreKeys::displaySeries, rawValue(series));
    if (autoReconnect != before.autoReconnect)
        store.setValue(StoreKeys::autoReconnect, autoReconnect);
    if (recentNetworkAddresses != before.recentNetworkAddresses)
        store.setValue(StoreKeys::recentNetworkAddresses, recentNetworkAddresses);
}
