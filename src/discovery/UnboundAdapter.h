#pragma once

#include "doctor/facts/UsbfsHolder.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
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
    // "FT232R USB UART (FTDI · A10K5VJ8)": the name, the vendor and the serial number if
    // there is one.
    QString title() const;
    // The line that names such an adapter above its diagnosis, in the window and the tool.
    QString headline() const;
    // German advice for the user.
    QString diagnosis() const;

    // Known-vendor adapters without a port; never fails. An adapter held through
    // usbfs is captured by the program that usbfs names, if it can be found.
    static QList<UnboundAdapter> scan(const UsbfsHolder& usbfs = UsbfsHolder());

    // The USB vendor ids of the adapters the scan looks at.
    static const QSet<int>& knownVendorIDs();

    // Who holds an adapter, from the drivers bound to its USB interfaces (empty
    // text for an interface without driver): absent while a serial driver has it
    // or nothing does, "usbfs" for a user-space program (such as a virtual
    // machine's USB pass-through), else the foreign kernel driver's name.
    static std::optional<QString> capturingDriver(const QStringList& interfaceDrivers);
};

size_t qHash(const UnboundAdapter& adapter, size_t seed = 0) noexcept;
