#pragma once

#include <QJsonObject>

class Console;

// "status" as the tool prints it, from the display's own line or through a session: the
// values as one JSON object or as "name=value" lines, then on stderr which values the
// display did not tell. Returns whether every value came.
bool printStatus(Console& console, const QJsonObject& values, bool json);
