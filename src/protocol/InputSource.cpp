#include "protocol/InputSource.h"

#include <QCoreApplication>

const QList<InputSource>& InputSource::all()
{
    static const QList<InputSource> inputs{
        {"hdmi1", "HDMI 1", "cable.connector.horizontal"},
        {"hdmi2", "HDMI 2", "cable.connector.horizontal"},
        {"hdmi3", "HDMI 3", "cable.connector.horizontal"},
        {"hdmi4", "HDMI 4", "cable.connector.horizontal"},
        {"usbc1", "USB-C 1", "cable.connector"},
        {"usbc2", "USB-C 2", "cable.connector"},
        {"vga1", "VGA", "rectangle.connected.to.line.below"},
        {"ops1", "OPS", "cpu"},
        {"android", "iQ / Android", "square.grid.3x3.fill"},
    };
    return inputs;
}

QString InputSource::labelFor(const QString& id)
{
    for (const auto& input : all()) {
        if (input.id == id)
            return input.label;
    }
    if (id == u"none")
        return QCoreApplication::translate("InputSource", "Kein Signal");
    return id;
}
