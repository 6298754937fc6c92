#pragma once

#include <prometheus/client_metric.h>
#include <prometheus/collectable.h>
#include <prometheus/metric_type.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SeriesRegistry;

// One series: its labels, ready to hand out, and its value, set on the event loop and read
// by the exposer's threads without a lock.
class Series {
public:
    void set(double value) { m_value.store(value, std::memory_order_relaxed); }
    double value() const { return m_value.load(std::memory_order_relaxed); }
    // Counters only go up; one writer, the event loop.
    void increment(double by) { set(value() + by); }

private:
    friend class SeriesFamily;
    friend class SeriesRegistry;
    std::vector<prometheus::ClientMetric::Label> m_labels; // sorted by name
    std::atomic<double> m_value{0};
    size_t m_index = 0; // its place in the family's list
};

// A metric family: name, help, type and its series. Adding and removing take the registry's
// lock; a scrape holds it while it copies.
class SeriesFamily {
public:
    SeriesFamily(SeriesRegistry& registry, std::string name, std::string help,
                 prometheus::MetricType type);

    Series& add(const std::map<std::string, std::string>& labels);
    void remove(Series* series);

private:
    friend class SeriesRegistry;
    SeriesRegistry& m_registry;
    const std::string m_name;
    const std::string m_help;
    const prometheus::MetricType m_type;
    std::vector<std::unique_ptr<Series>> m_series;
};

// The metric families of "bildwartctl serve", collected for the exposer, /probe and the text
// file through the client library's collector interface and written by its text serializer.
// The library's own families keep each series behind a map of its labels and a lock of its
// own; a scrape of a thousand displays (25,000 series) spent most of its time walking them.
// Here the labels are ready to copy and the values are plain atomics.
class SeriesRegistry final : public prometheus::Collectable {
public:
    SeriesFamily& gauge(std::string name, std::string help);
    SeriesFamily& counter(std::string name, std::string help);

    std::vector<prometheus::MetricFamily> Collect() const override;
    // Only the series whose label `target` has this value; families without any are left out.
    std::vector<prometheus::MetricFamily> collectTarget(const std::string& target) const;

private:
    friend class SeriesFamily;
    std::vector<prometheus::MetricFamily> collect(const std::string* target) const;

    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<SeriesFamily>> m_families;
};
