#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <optional>

class DisplayController;
class ReportedValues;

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

    // The controller's picture for the settings it keeps, the reported text for any
    // other name; null while the display has not reported the setting. The series is
    // always known (recognised from the model number, or the stored one).
    static QJsonValue value(const DisplayController& controller, const ReportedValues& reported,
                            const QString& name);

    // "volume=30"; nothing for null.
    static std::optional<QString> plainLine(const QString& name, const QJsonValue& value);
};
