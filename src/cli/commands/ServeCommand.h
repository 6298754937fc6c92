#pragma once

#include "cli/commands/Command.h"
#include "cli/invocation/TargetList.h"
#include "controller/ControllerSettings.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class DisplayController;
class DisplayMetrics;
class LineServer;
class MqttBridge;
class PortScanner;
class ProbeCollectable;
class HandOver;
class QTimer;
struct MetricFamilies;

class SeriesRegistry;
namespace prometheus {
class Exposer;
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
    struct Probed;
    struct ProbeWaiter;
    bool startMetrics();
    bool startMqtt();
    void hold(const Target& target, int index, int count);
    // A display's controller, its log on stderr, its metrics; `shared`: its socket for guests
    // and its place on the broker too.
    std::unique_ptr<Held> makeHeld(const Target& target, bool shared);
    // --probe-any: an address outside the file, asked for on an exposer thread.
    void fetchForProbe(const std::string& target);
    void holdForProbe(const QString& address, const std::shared_ptr<ProbeWaiter>& waiter);
    void stop();

    Session& m_session;
    std::shared_ptr<PortScanner> m_noPorts; // serve lists no ports: it holds what it is given
    bool m_stopping = false;
    ControllerSettings::Loaded m_stored; // the user's settings, read once
    // The metrics outlive the displays' series in them; the exposer goes first.
    std::shared_ptr<SeriesRegistry> m_registry;
    std::unique_ptr<MetricFamilies> m_families;
    std::shared_ptr<ProbeCollectable> m_probe;
    std::unique_ptr<prometheus::Exposer> m_exposer;
    std::unique_ptr<QTimer> m_textfileTimer;
    // Goes before the displays it publishes.
    std::unique_ptr<MqttBridge> m_mqtt;
    std::vector<std::unique_ptr<Held>> m_held;
    // Displays held for /probe alone, by address; asked again within ten minutes, or let go.
    std::map<QString, std::unique_ptr<Probed>> m_probed;
    std::unique_ptr<QTimer> m_probeExpiry;
    // The probes' way from the exposer's threads to the event loop; goes with this command.
    std::unique_ptr<HandOver> m_probeHandOver;
};
