#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

class DisplayState;

// The display's values as the tool prints them: numbers as JSON numbers, the switches
// as booleans, values the display has not reported as null; plain output is one
// "name=value" line each, the switches as on/off like the display writes them.
class DisplayReport {
public:
    // The name of the recognised series in the report.
    static QString seriesName() { return QStringLiteral("series"); }
    // The keys of "status", in the order of its plain output: every setting, then the
    // series.
    static QStringList statusNames();

    // What this run's display told for the setting; null for anything it did not tell (on
    // this line) and for names that are no setting. The series is known only from the
    // model number it told.
    static QJsonValue value(const DisplayState& state, const QString& name);

    // Every name of statusNames() with its value().
    static QJsonObject values(const DisplayState& state);

    // "volume=30"; nothing for null.
    static std::optional<QString> plainLine(const QString& name, const QJsonValue& value);
};
