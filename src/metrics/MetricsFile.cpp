#include "metrics/MetricsFile.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>
#include <prometheus/text_serializer.h>

std::optional<QString> writeMetricsFile(const QString& path,
                                        const prometheus::Collectable& registry)
{
    const std::string text = prometheus::TextSerializer().Serialize(registry.Collect());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
        return QCoreApplication::translate("MetricsFile",
                                           "Die Metriken lassen sich nicht nach %1 schreiben: %2")
            .arg(path, file.errorString());
    return std::nullopt;
}
