#include "cli/output/StatusOutput.h"

#include "cli/output/Console.h"
#include "controller/values/DisplayReport.h"

#include <QCoreApplication>

bool printStatus(Console& console, const QJsonObject& values, bool json)
{
    const QStringList names = DisplayReport::statusNames();
    if (json) {
        console.outJson(values);
    } else {
        for (const QString& name : names) {
            if (const auto line = DisplayReport::plainLine(name, values.value(name)))
                console.out(*line);
        }
    }
    // Only values the display told count, the series among them (from the model number).
    QStringList missing;
    for (const QString& name : names) {
        if (values.value(name).isNull())
            missing.append(name);
    }
    if (missing.isEmpty())
        return true;
    console.err(QCoreApplication::translate("StatusCommand",
                                            "Keine Antwort des Displays für %1 von %2 Werten: %3.")
                    .arg(missing.size())
                    .arg(names.size())
                    .arg(missing.join(QStringLiteral(", "))));
    return false;
}
