#include "serial/SerialPortInfo.h"

const QString SerialPortInfo::smartSimulatorPath = QStringLiteral("simulator://smart");
const QString SerialPortInfo::loopbackSimulatorPath = QStringLiteral("simulator://loopback");

bool SerialPortInfo::isSimulatorPath(const QString& path)
{
    return path.startsWith(QStringLiteral("simulator://"));
}

QList<SerialPortInfo> SerialPortInfo::simulatorEntries()
{
    return {
        {smartSimulatorPath, QStringLiteral("Simulator (virtuelles SMART-Display)"),
         QStringLiteral("Ohne Hardware \u2013 antwortet wie ein QX/RX"), true},
        {loopbackSimulatorPath, QStringLiteral("Simulator (Br\u00FCckenstecker)"),
         QStringLiteral("Ohne Hardware \u2013 schickt jedes Byte zur\u00FCck wie Pin 2\u21943"), true},
    };
}
