#pragma once

#include "cli/commands/Command.h"
#include "cli/invocation/TargetList.h"
#include "controller/ControllerSettings.h"

#include <memory>
#include <vector>

class DisplayController;
class DisplayMetrics;
class LineServer;
class MqttBridge;
class ProbeCollectable;
class QTimer;
struct MetricFamilies;

namespace prometheus {
class Exposer;
class Registry;
} // namespace prometheus

// "serve": holds every line it is given (-p, repeatable, or a targets file) without a
// window: connects, polls (the displays spread over the interval, so that a thousand do not
// answer in one burst), reconnects after a dropout, and serves each line's session on its
// socket, until SIGTERM, SIGINT or SIGHUP; then closes the lines, removes the sockets and
// ends with 128 + the signal's number. With --metrics it serves Prometheus metrics of every
// display, with --textfile it writes them for node_exporter, with --mqtt it brings them to
// Home Assistant through a broker. Its log goes to stderr, where
// journald takes it (without timestamps of its own then).
class ServeCommand final : public Command {
public:
    explicit ServeCommand(Session& session);
    ~ServeCommand() override;
    void start() override;

private:
    struct Held;
    bool startMetrics();
    bool startMqtt();
    void hold(const Target& target, int index, int count);
    void stop();

    Session& m_session;
    ControllerSettings::Loaded m_stored; // the user's settings, read once
    // The metrics outlive the displays' series in them; the exposer goes first.
    std::shared_ptr<prometheus::Registry> m_registry;
    std::unique_ptr<MetricFamilies> m_families;
    std::shared_ptr<ProbeCollectable> m_probe;
    std::unique_ptr<prometheus::Exposer> m_exposer;
    std::unique_ptr<QTimer> m_textfileTimer;
    // Goes before the displays it publishes.
    std::unique_ptr<MqttBridge> m_mqtt;
    std::vector<std::unique_ptr<Held>> m_held;
};
