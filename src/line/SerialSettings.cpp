#include "line/SerialSettings.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <array>
#include <cmath>

namespace {

using S = SerialSettings;

// One row per enumeration case: the case, its raw value and its picker label.
template <typename Enum, typename Raw>
struct CaseRow {
    Enum value;
    Raw raw;
    const char* label;
};

constexpr std::array<CaseRow<S::DataBits, int>, 4> dataBitsRows{{
    {S::DataBits::five, 5, "5"},
    {S::DataBits::six, 6, "6"},
    {S::DataBits::seven, 7, "7"},
    {S::DataBits::eight, 8, "8"},
}};
constexpr std::array<CaseRow<S::Parity, const char*>, 3> parityRows{{
    {S::Parity::none, "none", QT_TRANSLATE_NOOP("SerialSettings", "Keine")},
    {S::Parity::even, "even", QT_TRANSLATE_NOOP("SerialSettings", "Gerade (Even)")},
    {S::Parity::odd, "odd", QT_TRANSLATE_NOOP("SerialSettings", "Ungerade (Odd)")},
}};
constexpr std::array<CaseRow<S::StopBits, int>, 2> stopBitsRows{{
    {S::StopBits::one, 1, "1"},
    {S::StopBits::two, 2, "2"},
}};
constexpr std::array<CaseRow<S::FlowControl, const char*>, 3> flowControlRows{{
    {S::FlowControl::none, "none", QT_TRANSLATE_NOOP("SerialSettings", "Keine")},
    {S::FlowControl::rtsCts, "rtsCts", QT_TRANSLATE_NOOP("SerialSettings", "Hardware (RTS/CTS)")},
    {S::FlowControl::xonXoff, "xonXoff",
     QT_TRANSLATE_NOOP("SerialSettings", "Software (XON/XOFF)")},
}};
constexpr std::array<CaseRow<S::LineEnding, const char*>, 3> lineEndingRows{{
    {S::LineEnding::cr, "cr", "CR (\\r)"},
    {S::LineEnding::lf, "lf", "LF (\\n)"},
    {S::LineEnding::crlf, "crlf", "CR+LF (\\r\\n)"},
}};

template <typename Rows>
const auto& rowOf(const Rows& rows, decltype(Rows{}[0].value) value)
{
    for (const auto& row : rows) {
        if (row.value == value)
            return row;
    }
    return rows.front(); // unreachable for valid enumeration values
}

template <typename Rows>
auto casesOf(const Rows& rows)
{
    QList<decltype(Rows{}[0].value)> cases;
    for (const auto& row : rows)
        cases.append(row.value);
    return cases;
}

template <typename Rows>
auto fromIntRaw(const Rows& rows, qint64 raw) -> std::optional<decltype(Rows{}[0].value)>
{
    for (const auto& row : rows) {
        if (row.raw == raw)
            return row.value;
    }
    return std::nullopt;
}

template <typename Rows>
auto fromTextRaw(const Rows& rows, const QString& raw) -> std::optional<decltype(Rows{}[0].value)>
{
    for (const auto& row : rows) {
        if (raw == QLatin1String(row.raw))
            return row.value;
    }
    return std::nullopt;
}

// A JSON number that holds a whole value within the 64-bit range.
std::optional<qint64> jsonInteger(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || std::fabs(number) > 9.0e18)
        return std::nullopt;
    return value.toInteger(qint64(number));
}

std::optional<QString> jsonString(const QJsonValue& value)
{
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

QString jsonNumberText(double number)
{
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

QString jsonBool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

const QList<qint64>& SerialSettings::offeredBaudRates()
{
    static const QList<qint64> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    return rates;
}

QString SerialSettings::frameText() const
{
    return QString::number(rawValue(dataBits)) + parityLetter(parity) +
           QString::number(rawValue(stopBits));
}

bool SerialSettings::sameLine(const SerialSettings& other) const
{
    return baudRate == other.baudRate && dataBits == other.dataBits && parity == other.parity &&
           stopBits == other.stopBits && flowControl == other.flowControl &&
           assertDTR == other.assertDTR && assertRTS == other.assertRTS;
}

QString SerialSettings::summary() const
{
    return QString::number(baudRate) + QStringLiteral(" · ") + frameText();
}

std::optional<QByteArray> SerialSettings::toJson() const
{
    // JSON has no form for NaN or infinity.
    if (!std::isfinite(responseTimeout) || !std::isfinite(interCommandDelay))
        return std::nullopt;
    // Written by hand so that the keys keep the declaration order of the record.
    const QString json =
        QStringLiteral("{\"baudRate\":%1,\"dataBits\":%2,\"parity\":\"%3\",\"stopBits\":%4,"
                       "\"flowControl\":\"%5\",\"lineEnding\":\"%6\",\"responseTimeout\":%7,"
                       "\"interCommandDelay\":%8,\"assertDTR\":%9,\"assertRTS\":%10}")
            .arg(QString::number(baudRate), QString::number(rawValue(dataBits)), rawValue(parity),
                 QString::number(rawValue(stopBits)), rawValue(flowControl), rawValue(lineEnding),
                 jsonNumberText(responseTimeout), jsonNumberText(interCommandDelay),
                 jsonBool(assertDTR))
            .arg(jsonBool(assertRTS));
    return json.toUtf8();
}

std::optional<SerialSettings> SerialSettings::fromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();

    const auto baud = jsonInteger(object.value("baudRate"));
    const auto dataBitsRaw = jsonInteger(object.value("dataBits"));
    const auto parityRaw = jsonString(object.value("parity"));
    const auto stopBitsRaw = jsonInteger(object.value("stopBits"));
    const auto flowRaw = jsonString(object.value("flowControl"));
    const auto endingRaw = jsonString(object.value("lineEnding"));
    const QJsonValue timeout = object.value("responseTimeout");
    const QJsonValue delay = object.value("interCommandDelay");
    const QJsonValue dtr = object.value("assertDTR");
    const QJsonValue rts = object.value("assertRTS");

    if (!baud || !dataBitsRaw || !parityRaw || !stopBitsRaw || !flowRaw || !endingRaw ||
        !timeout.isDouble() || !delay.isDouble() || !dtr.isBool() || !rts.isBool())
        return std::nullopt;

    const auto dataBitsValue = dataBitsFromRaw(*dataBitsRaw);
    const auto parityValue = parityFromRaw(*parityRaw);
    const auto stopBitsValue = stopBitsFromRaw(*stopBitsRaw);
    const auto flowValue = flowControlFromRaw(*flowRaw);
    const auto endingValue = lineEndingFromRaw(*endingRaw);
    if (!dataBitsValue || !parityValue || !stopBitsValue || !flowValue || !endingValue)
        return std::nullopt;

    SerialSettings settings;
    settings.baudRate = *baud;
    settings.dataBits = *dataBitsValue;
    settings.parity = *parityValue;
    settings.stopBits = *stopBitsValue;
    settings.flowControl = *flowValue;
    settings.lineEnding = *endingValue;
    settings.responseTimeout = timeout.toDouble();
    settings.interCommandDelay = delay.toDouble();
    settings.assertDTR = dtr.toBool();
    settings.assertRTS = rts.toBool();
    if (!settings.isWithinBounds())
        return std::nullopt;
    return settings;
}

bool SerialSettings::isWithinBounds() const
{
    return baudRate >= minBaudRate && baudRate <= maxBaudRate &&
           responseTimeout >= minResponseTimeout && responseTimeout <= maxResponseTimeout &&
           interCommandDelay >= minInterCommandDelay && interCommandDelay <= maxInterCommandDelay;
}

// clang-format off
const QList<S::DataBits>& allCases(S::DataBits) { static const auto c = casesOf(dataBitsRows); return c; }
const QList<S::Parity>& allCases(S::Parity) { static const auto c = casesOf(parityRows); return c; }
const QList<S::StopBits>& allCases(S::StopBits) { static const auto c = casesOf(stopBitsRows); return c; }
const QList<S::FlowControl>& allCases(S::FlowControl) { static const auto c = casesOf(flowControlRows); return c; }
const QList<S::LineEnding>& allCases(S::LineEnding) { static const auto c = casesOf(lineEndingRows); return c; }

int rawValue(S::DataBits value) { return rowOf(dataBitsRows, value).raw; }
QString rawValue(S::Parity value) { return QLatin1String(rowOf(parityRows, value).raw); }
int rawValue(S::StopBits value) { return rowOf(stopBitsRows, value).raw; }
QString rawValue(S::FlowControl value) { return QLatin1String(rowOf(flowControlRows, value).raw); }
QString rawValue(S::LineEnding value) { return QLatin1String(rowOf(lineEndingRows, value).raw); }

QString label(S::DataBits value) { return QString::fromUtf8(rowOf(dataBitsRows, value).label); }
QString label(S::Parity value) { return QCoreApplication::translate("SerialSettings", rowOf(parityRows, value).label); }
QString label(S::StopBits value) { return QString::fromUtf8(rowOf(stopBitsRows, value).label); }
QString label(S::FlowControl value) { return QCoreApplication::translate("SerialSettings", rowOf(flowControlRows, value).label); }
QString label(S::LineEnding value) { return QString::fromUtf8(rowOf(lineEndingRows, value).label); }

std::optional<S::DataBits> dataBitsFromRaw(qint64 raw) { return fromIntRaw(dataBitsRows, raw); }
std::optional<S::Parity> parityFromRaw(const QString& raw) { return fromTextRaw(parityRows, raw); }
std::optional<S::StopBits> stopBitsFromRaw(qint64 raw) { return fromIntRaw(stopBitsRows, raw); }
std::optional<S::FlowControl> flowControlFromRaw(const QString& raw) { return fromTextRaw(flowControlRows, raw); }
std::optional<S::LineEnding> lineEndingFromRaw(const QString& raw) { return fromTextRaw(lineEndingRows, raw); }
// clang-format on

QString parameterName(SerialParameter parameter)
{
    switch (parameter) {
    case SerialParameter::baudRate:
        return QCoreApplication::translate("SerialSettings", "Baudrate");
    case SerialParameter::dataBits:
        return QCoreApplication::translate("SerialSettings", "Datenbits");
    case SerialParameter::parity:
        return QCoreApplication::translate("SerialSettings", "Parität");
    case SerialParameter::stopBits:
        return QCoreApplication::translate("SerialSettings", "Stoppbits");
    case SerialParameter::flowControl:
        return QCoreApplication::translate("SerialSettings", "Flusssteuerung");
    case SerialParameter::lineEnding:
        return QCoreApplication::translate("SerialSettings", "Zeilenende");
    }
    return {};
}

QByteArray lineEndingBytes(S::LineEnding ending)
{
    switch (ending) {
    case S::LineEnding::cr:
        return QByteArray("\r");
    case S::LineEnding::lf:
        return QByteArray("\n");
    case S::LineEnding::crlf:
        return QByteArray("\r\n");
    }
    return {};
}

QChar parityLetter(S::Parity parity)
{
    switch (parity) {
    case S::Parity::none:
        return u'N';
    case S::Parity::even:
        return u'E';
    case S::Parity::odd:
        return u'O';
    }
    return u'N';
}
