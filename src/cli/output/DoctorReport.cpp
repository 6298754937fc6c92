#include "cli/output/DoctorReport.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <algorithm>

namespace DoctorReport {

QStringList plainLines(const QList<PortReport>& reports)
{
    QStringList lines;
    for (const PortReport& report : reports) {
        if (!lines.isEmpty())
            lines.append(QString());
        const PortFacts& facts = report.facts;
        const bool titled = !facts.title.isEmpty() && !facts.port.contains(facts.title);
        lines.append(titled ? facts.port + QStringLiteral(" (") + facts.title + u')' : facts.port);
        if (report.findings.isEmpty())
            lines.append(QStringLiteral("  ") +
                         QCoreApplication::translate("DoctorReport", "keine Auffälligkeiten"));
        for (const Finding& finding : report.findings) {
            lines.append(QStringLiteral("  ") + label(finding.severity) + QStringLiteral(" [") +
                         finding.id + QStringLiteral("]: ") + finding.text);
            lines.append(QStringLiteral("    ") + finding.fixLine());
            for (const QString& command : finding.commands)
                lines.append(QStringLiteral("    $ ") + command);
        }
    }
    return lines;
}

QJsonArray json(const QList<PortReport>& reports)
{
    QJsonArray list;
    for (const PortReport& report : reports) {
        QJsonArray findings;
        for (const Finding& finding : report.findings) {
            findings.append(
                QJsonObject{{"id", finding.id},
                            {"severity", rawValue(finding.severity)},
                            {"text", finding.text},
                            {"fix", finding.fix},
                            {"commands", QJsonArray::fromStringList(finding.commands)}});
        }
        list.append(QJsonObject{
            {"port", report.facts.port}, {"title", report.facts.title}, {"findings", findings}});
    }
    return list;
}

bool anyFindings(const QList<PortReport>& reports)
{
    return std::any_of(reports.begin(), reports.end(),
                       [](const PortReport& report) { return !report.findings.isEmpty(); });
}

} // namespace DoctorReport
