#pragma once

#include <QString>
#include <variant>

// Where the broker listens: "mqtt://HOST[:PORT]" (1883), "mqtts://HOST[:PORT]" (8883, TLS
// with the system's certificate authorities). A bare "HOST[:PORT]" means mqtt://. User and
// password never come with the address: a command line is readable by every user.
struct MqttAddress {
    QString host; // without brackets for IPv6
    int port = 1883;
    bool tls = false;

    bool operator==(const MqttAddress&) const = default;

    // The address, or the German text that says what is wrong.
    static std::variant<MqttAddress, QString> parse(const QString& text);
    // "mqtt://broker:1883", "mqtts://[::1]:8883"
    QString toString() const;
};
