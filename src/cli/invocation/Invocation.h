#pragma once

#include "controller/SetAction.h"
#include "line/SerialSettings.h"
#include "linetest/TestPattern.h"
#include "mqtt/MqttAddress.h"
#include "protocol/DisplaySeries.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// One call of bildwartctl, parsed and checked: the command, its arguments and every
// option. Options left out are absent, so the stored settings stay in force.
struct Invocation {
    enum class Command {
        help,
        ports,
        status,
        get,
        set,
        send,
        raw,
        monitor,
        loopback,
        testout,
        simulate,
        doctor,
        serve
    };

    Command command = Command::help;

    // Line options
    std::optional<QString> port;
    QStringList ports; // every -p in order: serve holds several lines
    // Open the line even when a session holds it (and fail "belegt"), instead of going
    // through that session.
    bool direct = false;
    std::optional<double> pollInterval;     // serve: seconds between two polls of a display
    std::optional<QString> metrics;         // serve: where /metrics listens ("127.0.0.1:9787")
    std::optional<QString> textfile;        // serve: the metrics file for node_exporter
    bool probeAny = false;                  // serve: /probe for addresses outside the file too
    std::optional<MqttAddress> mqtt;        // serve: the broker for Home Assistant
    std::optional<QString> mqttCredentials; // serve: user and password for the broker
    std::optional<qint64> baudRate;
    std::optional<SerialSettings::DataBits> dataBits;
    std::optional<SerialSettings::Parity> parity;
    std::optional<SerialSettings::StopBits> stopBits;
    std::optional<SerialSettings::FlowControl> flowControl;
    std::optional<SerialSettings::LineEnding> lineEnding;
    std::optional<double> responseTimeout;
    std::optional<double> interCommandDelay;

    // Fleets: the command for every display of a targets file
    std::optional<QString> targets; // the file
    std::optional<qint64> parallel; // at most this many at once
    std::optional<qint64> retries;  // further attempts at an unreachable or silent display
    QStringList groups;             // only the targets of these groups (without "@")

    // Output
    bool json = false;
    bool verbose = false;
    bool hex = false;

    // Command options
    std::optional<double> duration;      // monitor
    std::optional<qint64> count;         // loopback, testout
    std::optional<qint64> packetSize;    // loopback
    std::optional<TestPattern> pattern;  // testout
    std::optional<double> interval;      // testout
    std::optional<DisplaySeries> series; // simulate
    bool loopback = false;               // simulate
    std::optional<QString> link;         // simulate

    // Command arguments
    QString settingName;             // get, in lower case
    std::optional<SetAction> action; // set
    QStringList lines;               // send
    QByteArray rawData;              // raw: UTF-8 text, or the bytes of the hex text with --hex

    // The stored settings with the line options of this call put over them.
    SerialSettings applyTo(SerialSettings settings) const;
};
