#pragma once

#include "protocol/DisplaySeries.h"
#include "protocol/DisplaySetting.h"
#include "protocol/PowerState.h"

#include <QString>
#include <chrono>
#include <optional>
#include <variant>

// What the program knows about the display: a plain value. The controller keeps one,
// changes it through apply() and the display actions, and announces what differs.
struct DisplayState {
    using TimePoint = std::chrono::steady_clock::time_point;
    // After a set action, query answers for the levels are ignored this long: a poll
    // asked before the user moved a slider must not move it back.
    static constexpr std::chrono::milliseconds levelHoldOff{2000};

    std::optional<PowerState> power; // as last reported
    std::optional<QString> input;    // input id, lower case
    double volume = 0;               // 0 to 100
    bool mute = false;
    bool micMute = false;
    double brightness = 0; // 0 to 100
    bool videoFreeze = false;
    bool screenShade = false;
    bool stateReporting = false; // the display sends #name=value reports by itself
    QString modelNumber;         // letter case as reported
    QString serialNumber;
    QString partNumber;
    QString firmware;
    TimePoint levelQueriesIgnoredUntil{};

    bool operator==(const DisplayState&) const = default;

    // One reported value. `fromQuery`: the answer to a query of ours (not to a set
    // command, not a report of the display's own). Unknown names and unreadable
    // numbers change nothing; power words are lowered before the lookup. Returns the
    // series a model number names, if any.
    std::optional<DisplaySeries> apply(const QString& name, const QString& value, bool fromQuery,
                                       TimePoint now);

    // Opens the hold-off window (every set action does).
    void holdOffLevelQueries(TimePoint now) { levelQueriesIgnoredUntil = now + levelHoldOff; }

    // The switch or level of a setting of that kind.
    bool& toggle(DisplaySetting setting);
    double& level(DisplaySetting setting);

    // A setting's value for reports: the power word or input id (nothing while none is
    // known), a level as a number, a switch as a bool, device information as text.
    using Value = std::variant<std::monostate, bool, double, QString>;
    Value value(DisplaySetting setting) const;
};
