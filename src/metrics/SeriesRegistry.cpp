#include "metrics/SeriesRegistry.h"

#include <algorithm>
#include <prometheus/metric_family.h>

SeriesFamily::SeriesFamily(SeriesRegistry& registry, std::string name, std::string help,
                           prometheus::MetricType type)
    : m_registry(registry)
    , m_name(std::move(name))
    , m_help(std::move(help))
    , m_type(type)
{
}

Series& SeriesFamily::add(const std::map<std::string, std::string>& labels)
{
    auto series = std::make_unique<Series>();
    for (const auto& [name, value] : labels)
        series->m_labels.push_back({name, value});
    const std::lock_guard lock(m_registry.m_mutex);
    series->m_index = m_series.size();
    m_series.push_back(std::move(series));
    return *m_series.back();
}

void SeriesFamily::remove(Series* series)
{
    if (!series)
        return;
    const std::lock_guard lock(m_registry.m_mutex);
    const size_t index = series->m_index;
    if (index >= m_series.size() || m_series[index].get() != series)
        return;
    // The last one takes its place: order means nothing to a scrape.
    std::swap(m_series[index], m_series.back());
    m_series[index]->m_index = index;
    m_series.pop_back();
}

SeriesFamily& SeriesRegistry::gauge(std::string name, std::string help)
{
    const std::lock_guard lock(m_mutex);
    m_families.push_back(std::make_unique<SeriesFamily>(*this, std::move(name), std::move(help),
                                                        prometheus::MetricType::Gauge));
    return *m_families.back();
}

SeriesFamily& SeriesRegistry::counter(std::string name, std::string help)
{
    const std::lock_guard lock(m_mutex);
    m_families.push_back(std::make_unique<SeriesFamily>(*this, std::move(name), std::move(help),
                                                        prometheus::MetricType::Counter));
    return *m_families.back();
}

std::vector<prometheus::MetricFamily> SeriesRegistry::Collect() const
{
    return collect(nullptr);
}

std::vector<prometheus::MetricFamily> SeriesRegistry::collectTarget(const std::string& target) const
{
    return collect(&target);
}

std::vector<prometheus::MetricFamily> SeriesRegistry::collect(const std::string* target) const
{
    const auto ofTarget = [target](const Series& series) {
        return std::any_of(series.m_labels.begin(), series.m_labels.end(),
                           [target](const prometheus::ClientMetric::Label& label) {
                               return label.name == "target" && label.value == *target;
                           });
    };
    std::vector<prometheus::MetricFamily> families;
    const std::lock_guard lock(m_mutex);
    families.reserve(m_families.size());
    for (const auto& family : m_families) {
        prometheus::MetricFamily collected;
        collected.name = family->m_name;
        collected.help = family->m_help;
        collected.type = family->m_type;
        collected.metric.reserve(target ? 1 : family->m_series.size());
        for (const auto& series : family->m_series) {
            if (target && !ofTarget(*series))
                continue;
            prometheus::ClientMetric metric;
            metric.label = series->m_labels;
            if (family->m_type == prometheus::MetricType::Counter)
                metric.counter.value = series->value();
            else
                metric.gauge.value = series->value();
            collected.metric.push_back(std::move(metric));
        }
        // A family without series is no family for a probe; /metrics keeps its HELP and TYPE.
        if (!target || !collected.metric.empty())
            families.push_back(std::move(collected));
    }
    return families;
}
