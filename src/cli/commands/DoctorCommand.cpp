#include "cli/commands/DoctorCommand.h"

#include "cli/commands/Session.h"
#include "cli/output/DoctorReport.h"
#include "controller/DisplayController.h"
#include "discovery/SerialPortInfo.h"
#include "doctor/PortDoctor.h"
#include "line/LineAddress.h"

#include <QCoreApplication>
#include <QJsonDocument>

void DoctorCommand::start()
{
    if (!m_session.prepare(false))
        return;
    PortDoctor& doctor = m_session.controller().doctor();
    const std::optional<QString>& port = m_session.invocation().port;
    Console& console = m_session.console();
    if (port && !LineAddress::fromText(*port).isDevice()) {
        console.err(QCoreApplication::translate("DoctorCommand",
                                                "„%1“ liegt nicht auf diesem Rechner – doctor "
                                                "prüft nur dessen Schnittstellen.")
                        .arg(*port));
        m_session.finish(ExitCode::usage);
        return;
    }

    QList<PortReport> reports;
    if (port) {
        reports.append(doctor.examine(*port, PortDoctor::Depth::full));
        // A port that is gone may still have a cause to tell (brltty took its adapter).
        if (!reports.first().facts.nodeAttributes && reports.first().findings.isEmpty()) {
            console.err(QCoreApplication::translate("DoctorCommand",
                                                    "%1 gibt es nicht – „bildwartctl doctor“ "
                                                    "ohne Port prüft alle.")
                            .arg(*port));
            m_session.finish(ExitCode::portFailed);
            return;
        }
    } else {
        reports = doctor.examineAll();
    }

    if (m_session.invocation().json)
        console.outJson(DoctorReport::json(reports));
    else if (reports.isEmpty())
        console.out(QCoreApplication::translate(
            "DoctorCommand", "Keine Schnittstelle und kein USB-Seriell-Wandler gefunden."));
    else
        for (const QString& line : DoctorReport::plainLines(reports))
            console.out(line);
    m_session.finish(DoctorReport::anyFindings(reports) ? ExitCode::displayFailed
                                                        : ExitCode::success);
}
