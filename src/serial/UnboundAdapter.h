#pragma once

#include <QList>
#include <QString>
#include <optional>

// A plugged-in USB-serial adapter of a known vendor that offers no serial port.
struct UnboundAdapter {
    QString name;
    int vendorID = 0;
    int productID = 0;
    QString serial;
    std::optional<QString> capturedBy;

    bool operator==(const UnboundAdapter&) const = default;

    // "vendor:product:serial" in decimal.
    QString identity() const;
    QString vendorLabel() const;
    // German advice for the user.
    QString diagnosis() const;

    // Known-vendor adapters without a port; never fails.
    static QList<UnboundAdapter> scan();
};
