#pragma once

#include "line/NetworkAddress.h"

#include <QString>
#include <variant>

// What a line is opened by, parsed once from what the user typed or a stored file holds:
// a serial device of this computer (its path, every byte kept), a serial port behind a
// network gateway (tcp:// raw, rfc2217:// Telnet COM port; also HOST:PORT and [v6]:PORT,
// read as tcp://), or one of the built-in simulators. Everything else asks the address
// what it is; nobody looks at the text again.
class LineAddress {
public:
    enum class Kind { device, network, simulator };
    enum class Simulator { smart, loopback };

    // The address, or the German sentence that says what is wrong and what a valid one
    // looks like.
    static std::variant<LineAddress, QString> parse(const QString& text);
    // For texts already checked (tests, stored lists): an address that does not parse
    // becomes a device path of that text.
    static LineAddress fromText(const QString& text);

    static LineAddress simulator(Simulator which);

    Kind kind() const { return m_kind; }
    bool isDevice() const { return m_kind == Kind::device; }
    bool isNetwork() const { return m_kind == Kind::network; }
    bool isSimulator() const { return m_kind == Kind::simulator; }
    // A device's path.
    const QString& path() const { return m_path; }
    const NetworkAddress& network() const { return m_network; }
    Simulator simulatorKind() const { return m_simulator; }

    // The address in its one spelling; parse(text()) gives it back.
    QString text() const;

    bool operator==(const LineAddress&) const = default;

private:
    Kind m_kind = Kind::device;
    QString m_path;
    NetworkAddress m_network;
    Simulator m_simulator = Simulator::smart;
};
