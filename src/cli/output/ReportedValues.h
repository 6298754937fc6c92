#pragma once

#include "protocol/SmartEvent.h"

#include <QHash>
#include <QString>
#include <optional>

// What the display has reported, by setting name, as it was reported. The controller
// keeps its picture with initial values (volume 0, mute off); this tells a reported
// value from one the display never sent.
class ReportedValues {
public:
    // Takes value replies and the display's own #name=value reports.
    void record(const SmartEvent& event);
    void clear() { m_values.clear(); }

    bool contains(const QString& name) const { return m_values.contains(name); }
    std::optional<QString> value(const QString& name) const;

private:
    QHash<QString, QString> m_values;
};
