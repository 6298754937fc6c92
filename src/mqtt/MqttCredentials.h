#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

// User and password for the broker, from a file ("user=NAME", "password=SECRET", lines
// starting with # are comments) or from BILDWART_MQTT_USER and BILDWART_MQTT_PASSWORD; the
// file wins. Never from the command line.
struct MqttCredentials {
    QString user;
    QString password;

    bool operator==(const MqttCredentials&) const = default;

    struct Loaded;
    static Loaded load(const std::optional<QString>& file, const QProcessEnvironment& environment);
    // The file's text, for load() and the tests.
    static Loaded parse(const QByteArray& text, const QString& fileName);
};

struct MqttCredentials::Loaded {
    std::optional<MqttCredentials> credentials; // none: anonymous
    QString error;                              // German; the broker is not contacted then
    QStringList warnings;                       // German; said, and the run goes on
};
