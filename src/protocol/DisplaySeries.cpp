#include "protocol/DisplaySeries.h"

QString rawValue(DisplaySeries series)
{
    return series == DisplaySeries::qx ? QStringLiteral("QX") : QStringLiteral("RX");
}

std::optional<DisplaySeries> displaySeriesFromRaw(const QString& raw)
{
    if (raw == u"QX")
        return DisplaySeries::qx;
    if (raw == u"RX")
        return DisplaySeries::rx;
    return std::nullopt;
}

std::optional<DisplaySeries> detectSeries(const QString& model)
{
    const QString upper = model.toUpper();
    if (upper.contains(u"QX"))
        return DisplaySeries::qx;
    if (upper.contains(u"RX"))
        return DisplaySeries::rx;
    return std::nullopt;
}
