#pragma once

#include "protocol/PowerState.h"

#include <QString>
#include <variant>

class DisplayController;

// One display action of "set NAME VALUE", checked before any line is opened, so that
// a typing error never reaches the display.
struct SetAction {
    enum class Kind { power, input, level, levelStep, toggle };

    Kind kind = Kind::power;
    // The setting the display reports back: "powerstate", "input", "volume", "mute", …
    QString setting{};
    PowerState power = PowerState::on;
    QString input{};
    qint64 level = 0; // absolute volume or brightness
    qint64 step = 0;  // relative volume or brightness
    bool on = false;  // the switches

    bool operator==(const SetAction&) const = default;

    // The action, or the German text that says what is wrong.
    static std::variant<SetAction, QString> parse(const QString& name, const QString& value);

    // Hands the action to the controller's display action of the same name.
    void applyTo(DisplayController& controller) const;
};
