#pragma once

#include <QList>
#include <QString>

// One selectable input of the display: protocol word, German label, icon name.
struct InputSource {
    QString id;
    QString label;
    QString symbol;

    bool operator==(const InputSource&) const = default;

    // The nine inputs, the same for both series.
    static const QList<InputSource>& all();
    // The label of a known id, "Kein Signal" for "none", otherwise the id unchanged.
    static QString labelFor(const QString& id);
};
