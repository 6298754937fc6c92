#pragma once

#include "controller/SetAction.h"
#include "protocol/DisplaySeries.h"

#include <QByteArray>
#include <QString>
#include <variant>

// A message on a display's command topic, from anyone on the broker: a value for one of
// the writable objects, checked like "bildwartctl set" and narrower. Only absolute values
// (what Home Assistant sends: "40", "40.0", "on", "hdmi2", a power state of the display's
// series); nothing that is not a setting's value reaches the line. Refused: the German text
// that says why.
namespace MqttCommand {

std::variant<SetAction, QString> parse(const QString& object, const QByteArray& payload,
                                       DisplaySeries series);

} // namespace MqttCommand
