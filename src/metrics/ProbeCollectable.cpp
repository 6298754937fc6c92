#include "metrics/ProbeCollectable.h"

#include "metrics/SeriesRegistry.h"

#include <CivetServer.h>
#include <algorithm>
#include <civetweb.h>
#include <cstring>
#include <prometheus/metric_family.h>

namespace {

// The target of the request this thread is answering; empty for none.
thread_local std::string requestedTarget;

int noteTarget(mg_connection* connection)
{
    requestedTarget.clear();
    const mg_request_info* request = mg_get_request_info(connection);
    if (request && request->query_string) {
        char target[1024] = {};
        const size_t length = std::strlen(request->query_string);
        if (mg_get_var(request->query_string, length, "target", target, sizeof target) > 0)
            requestedTarget = target;
    }
    return 0; // the exposer answers
}

} // namespace

ProbeCollectable::ProbeCollectable(std::shared_ptr<const SeriesRegistry> registry, Fetch fetch)
    : m_registry(std::move(registry))
    , m_fetch(std::move(fetch))
{
}

const CivetCallbacks& ProbeCollectable::callbacks()
{
    static const CivetCallbacks callbacks = [] {
        CivetCallbacks made;
        made.begin_request = noteTarget;
        return made;
    }();
    return callbacks;
}

std::vector<prometheus::MetricFamily> ProbeCollectable::Collect() const
{
    const std::string target = requestedTarget;
    auto families = seriesOf(target);
    if (families.empty() && m_fetch && !target.empty()) {
        m_fetch(target);
        families = seriesOf(target);
    }
    if (families.empty()) {
        prometheus::MetricFamily up;
        up.name = "bildwart_up";
        up.help = "1 when the display answered its last poll";
        up.type = prometheus::MetricType::Gauge;
        prometheus::ClientMetric metric;
        metric.label.push_back({"target", target});
        metric.gauge.value = 0;
        up.metric.push_back(metric);
        families.push_back(up);
    }
    return families;
}

// The families with series of this target; none when it has no bildwart_up.
std::vector<prometheus::MetricFamily> ProbeCollectable::seriesOf(const std::string& target) const
{
    auto families = m_registry->collectTarget(target);
    const bool known = std::any_of(families.begin(), families.end(),
                                   [](const auto& family) { return family.name == "bildwart_up"; });
    if (!known)
        families.clear();
    return families;
}
