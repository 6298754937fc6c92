#pragma once

#include "protocol/DisplaySetting.h"
#include "protocol/PowerState.h"

#include <QString>
#include <optional>
#include <variant>

class RemoteDisplay;

// One display action of "set NAME VALUE", checked before it goes anywhere near a line,
// so that a typing error (or a guest's malformed request) never reaches the display.
struct SetAction {
    DisplaySetting setting = DisplaySetting::power;
    PowerState power = PowerState::on; // power
    QString input{};                   // input
    qint64 level = 0;                  // a level, absolute
    std::optional<qint64> step{};      // a level, changed by this many steps instead
    bool on = false;                   // a switch

    bool operator==(const SetAction&) const = default;

    // The action, or the German text that says what is wrong. NAME is a writable
    // setting's name, or "power" for short.
    static std::variant<SetAction, QString> parse(const QString& name, const QString& value);

    // Hands the action to the display's action for its setting.
    void applyTo(RemoteDisplay& display) const;

    // The command line as the display reads it: "set volume=40", "set volume+5".
    QString commandText() const;
    // The value the display must answer with, as it writes it; none for a step.
    std::optional<QString> wantedValue() const;
};
