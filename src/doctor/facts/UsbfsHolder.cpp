#include "doctor/facts/UsbfsHolder.h"

#include "doctor/facts/ProcessTable.h"

UsbfsHolder::UsbfsHolder(QString procRoot, QString devRoot)
    : m_procRoot(std::move(procRoot))
    , m_devRoot(std::move(devRoot))
{
}

QString UsbfsHolder::nodePath(int bus, int device) const
{
    return m_devRoot + QString::asprintf("/bus/usb/%03d/%03d", bus, device);
}

std::optional<QString> UsbfsHolder::holderOf(int bus, int device) const
{
    for (const ProcessHolder& holder : ProcessTable(m_procRoot).holdersOf(nodePath(bus, device))) {
        if (!holder.command.isEmpty())
            return holder.command;
    }
    return std::nullopt;
}
