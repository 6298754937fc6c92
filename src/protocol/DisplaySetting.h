#pragma once

#include <QList>
#include <QString>
#include <optional>

// The display's settings, each named once. Replies, display actions, the command line's
// get/set/status, its JSON report and the simulator all read this table.
enum class DisplaySetting {
    power,
    input,
    volume,
    mute,
    micMute,
    brightness,
    videoFreeze,
    screenShade,
    stateReporting,
    modelNumber,
    serialNumber,
    partNumber,
    firmware,
};
constexpr int displaySettingCount = int(DisplaySetting::firmware) + 1;

// What kind of value a setting carries on the line.
enum class SettingKind {
    powerState, // a power state's raw word
    input,      // an input id, lower case
    level,      // a whole number 0 to 100, also changed in relative steps
    toggle,     // "on" or "off"
    text,       // free text the display reports; never written
};

// The values a level may take; the display limits what it is given to these.
struct LevelRange {
    int minimum = 0;
    int maximum = 0;

    bool operator==(const LevelRange&) const = default;
    double clamped(double value) const;
    bool contains(double value) const { return value >= minimum && value <= maximum; }
};

struct SettingInfo {
    DisplaySetting setting;
    QString name; // the word on the line
    SettingKind kind;
    // Part of the periodic poll; the rest is asked only at connect and on request.
    bool polled;
    // What the simulated display reports before anyone changed it. The model number
    // depends on the series and is the simulator's own.
    QString simulatedValue;
    // Levels only: what the display accepts.
    LevelRange range{};

    bool writable() const { return kind != SettingKind::text; }
};

// Every setting, in the order of the full status query: the writable ones, then the
// device information.
const QList<SettingInfo>& displaySettings();
const SettingInfo& info(DisplaySetting setting);
QString settingName(DisplaySetting setting);
// Exact match of the word as the parser delivers it (lower case).
std::optional<DisplaySetting> settingNamed(const QString& name);

// The word of the factory reset, which takes the display's serial number as its value.
QString factoryResetName();
