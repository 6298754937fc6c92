#pragma once

#include "doctor/Finding.h"

#include <QJsonArray>
#include <QStringList>

// How "doctor" shows its reports: one block per port for people, a JSON list for scripts.
namespace DoctorReport {

// Each port's name, then each finding with its fix and commands; blocks apart by an
// empty line.
QStringList plainLines(const QList<PortReport>& reports);

// [{"port", "findings": [{"id", "severity", "text", "fix", "commands"}]}]
QJsonArray json(const QList<PortReport>& reports);

bool anyFindings(const QList<PortReport>& reports);

} // namespace DoctorReport
