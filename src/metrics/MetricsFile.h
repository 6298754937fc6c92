#pragma once

#include <QString>
#include <optional>

namespace prometheus {
class Collectable;
}

// The collected metrics in the Prometheus text format, for node_exporter's textfile
// collector: written to a temporary file beside PATH and renamed over it, so that a reader
// sees the old file or the new one, never half of one. The German reason when it failed.
std::optional<QString> writeMetricsFile(const QString& path,
                                        const prometheus::Collectable& registry);
