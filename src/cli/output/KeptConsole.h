#pragma once

#include "cli/output/Console.h"

#include <QStringList>
#include <optional>

// The console of one display's run in a fleet: keeps its results and errors for the
// fleet's line about it, and passes its traffic log (-v) on at once, marked with the
// display's name.
class KeptConsole final : public Console {
public:
    KeptConsole(Console& through, QString label);

    void out(const QString& line) override { m_lines.append(line); }
    using Console::outJson;
    void outJson(const QJsonObject& object) override { m_json = object; }
    // A display's raw answer: kept as text for the fleet's line, never written as it came.
    void outBytes(const QByteArray& bytes) override
    {
        m_lines.append(visibleText(QString::fromUtf8(bytes)).trimmed());
    }
    void err(const QString& line) override { m_errors.append(line); }
    void log(const QString& line) override;

    const QStringList& lines() const { return m_lines; }
    const std::optional<QJsonObject>& json() const { return m_json; }
    // What the run said about its failure, first line first.
    const QStringList& errors() const { return m_errors; }

private:
    Console& m_through;
    QString m_label;
    QStringList m_lines;
    std::optional<QJsonObject> m_json;
    QStringList m_errors;
};
