#include "cli/commands/PortsCommand.h"

#include "cli/commands/Session.h"
#include "controller/DisplayController.h"
#include "controller/PortList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

void PortsCommand::start()
{
    if (!m_session.prepare(false))
        return;
    if (m_session.invocation().json)
        printJson();
    else
        printPlain();
    m_session.finish(ExitCode::success);
}

void PortsCommand::printPlain()
{
    const PortList& list = m_session.controller().ports();
    Console& console = m_session.console();
    bool adapterListed = false;
    for (const SerialPortInfo& port : list.ports()) {
        QString line = port.path + QStringLiteral("  ") + port.name;
        if (!port.detail.isEmpty() && port.detail != port.path)
            line += QStringLiteral(" – ") + port.detail;
        console.out(line);
        adapterListed = adapterListed || port.looksLikeUSBAdapter();
    }
    if (!adapterListed && list.unboundAdapters().isEmpty())
        console.out(SerialPortInfo::noAdapterText());
    for (const UnboundAdapter& adapter : list.unboundAdapters()) {
        console.out(adapter.headline());
        console.out(QStringLiteral("  ") + adapter.diagnosis());
    }
}

void PortsCommand::printJson()
{
    const PortList& list = m_session.controller().ports();
    QJsonArray ports;
    for (const SerialPortInfo& port : list.ports()) {
        ports.append(QJsonObject{{"path", port.path},
                                 {"name", port.name},
                                 {"detail", port.detail},
                                 {"isSimulator", port.isSimulator}});
    }
    QJsonArray adapters;
    for (const UnboundAdapter& adapter : list.unboundAdapters()) {
        adapters.append(QJsonObject{
            {"name", adapter.name},
            {"vendorID", adapter.vendorID},
            {"productID", adapter.productID},
            {"serial", adapter.serial},
            {"capturedBy", adapter.capturedBy ? QJsonValue(*adapter.capturedBy) : QJsonValue()},
            {"diagnosis", adapter.diagnosis()}});
    }
    const QJsonObject result{{"ports", ports}, {"unboundAdapters", adapters}};
    m_session.console().outJson(result);
}
