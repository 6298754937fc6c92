#pragma once

#include <prometheus/collectable.h>

#include <functional>
#include <memory>
#include <string>

struct CivetCallbacks;
class SeriesRegistry;

// "/probe?target=ADDR" beside "/metrics", as Prometheus' blackbox exporter has it: the
// series of one display, so that a job can relabel over a list of addresses. The exposer's
// worker thread notes the request's target in callbacks() before it asks Collect() on the
// same thread. An address the file does not name, or one that never answered, gives
// "bildwart_up 0" for it: a probe's answer is never an HTTP error. With a `fetch`, an
// address without series is handed to it first: it may start holding the display and
// returns once it has answered or failed (on the exposer's thread, bounded by the caller).
class ProbeCollectable final : public prometheus::Collectable {
public:
    using Fetch = std::function<void(const std::string& target)>;

    explicit ProbeCollectable(std::shared_ptr<const SeriesRegistry> registry, Fetch fetch = {});

    std::vector<prometheus::MetricFamily> Collect() const override;

    // For the exposer: notes each request's "target" for its thread.
    static const CivetCallbacks& callbacks();

private:
    std::vector<prometheus::MetricFamily> seriesOf(const std::string& target) const;

    std::shared_ptr<const SeriesRegistry> m_registry;
    const Fetch m_fetch; // set once, before the exposer asks
};
