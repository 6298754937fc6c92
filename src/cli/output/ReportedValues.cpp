#include "cli/output/ReportedValues.h"

void ReportedValues::record(const SmartEvent& event)
{
    if (event.kind == SmartEvent::Kind::value || event.kind == SmartEvent::Kind::async)
        m_values.insert(event.name, event.value);
}

std::optional<QString> ReportedValues::value(const QString& name) const
{
    const auto found = m_values.constFind(name);
    if (found == m_values.constEnd())
        return std::nullopt;
    return *found;
}
