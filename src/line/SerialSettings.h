#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// How the serial line is driven. A plain value; the controller holds one and
// persists it as JSON.
struct SerialSettings {
    enum class DataBits { five = 5, six = 6, seven = 7, eight = 8 };
    enum class Parity { none, even, odd };
    enum class StopBits { one = 1, two = 2 };
    enum class FlowControl { none, rtsCts, xonXoff };
    enum class LineEnding { cr, lf, crlf };

    qint64 baudRate = 19200;
    DataBits dataBits = DataBits::eight;
    Parity parity = Parity::none;
    StopBits stopBits = StopBits::one;
    FlowControl flowControl = FlowControl::none;
    LineEnding lineEnding = LineEnding::cr;
    double responseTimeout = 1.5;    // seconds the display gets to show its prompt
    double interCommandDelay = 0.05; // seconds between two commands
    bool assertDTR = true;
    bool assertRTS = true;

    bool operator==(const SerialSettings&) const = default;

    // What a record may hold. A stored value outside (a hand-edited file, an old version's
    // slip) would make the pause a day long or fail every command at once; such a record
    // is refused like any undecodable one, and the window's fields keep to these bounds.
    static constexpr qint64 minBaudRate = 50;
    static constexpr qint64 maxBaudRate = 12'000'000; // the fastest common USB-serial chips
    static constexpr double minResponseTimeout = 0.1;
    static constexpr double maxResponseTimeout = 60;
    static constexpr double minInterCommandDelay = 0;
    static constexpr double maxInterCommandDelay = 10;
    bool isWithinBounds() const;

    // The display's standard line: 19200 baud, 8N1, no flow control, CR.
    static SerialSettings smartStandard() { return {}; }

    // The rates the pickers offer; the record itself takes any non-negative rate.
    static const QList<qint64>& offeredBaudRates();

    // Whether both drive the line alike: speed, frame, flow control and the control
    // lines. The line ending and the two timings are the program's own business.
    bool sameLine(const SerialSettings& other) const;

    // "19200 · 8N1"
    QString summary() const;
    // "8N1": data bits, parity letter, stop bits.
    QString frameText() const;

    // The ten keys in declaration order. Decoding is strict: every key present with
    // the right JSON type and a valid raw value, else no record at all.
    std::optional<QByteArray> toJson() const;
    static std::optional<SerialSettings> fromJson(const QByteArray& json);
};

// The line's parameters by the names the user reads: the window's pickers, the tool's
// help and a gateway's complaint say "Parität" alike.
enum class SerialParameter { baudRate, dataBits, parity, stopBits, flowControl, lineEnding };
QString parameterName(SerialParameter parameter);

// Cases in picker order, raw values, labels and construction from a raw value.
const QList<SerialSettings::DataBits>& allCases(SerialSettings::DataBits);
const QList<SerialSettings::Parity>& allCases(SerialSettings::Parity);
const QList<SerialSettings::StopBits>& allCases(SerialSettings::StopBits);
const QList<SerialSettings::FlowControl>& allCases(SerialSettings::FlowControl);
const QList<SerialSettings::LineEnding>& allCases(SerialSettings::LineEnding);

int rawValue(SerialSettings::DataBits value);
QString rawValue(SerialSettings::Parity value);
int rawValue(SerialSettings::StopBits value);
QString rawValue(SerialSettings::FlowControl value);
QString rawValue(SerialSettings::LineEnding value);

QString label(SerialSettings::DataBits value);
QString label(SerialSettings::Parity value);
QString label(SerialSettings::StopBits value);
QString label(SerialSettings::FlowControl value);
QString label(SerialSettings::LineEnding value);

std::optional<SerialSettings::DataBits> dataBitsFromRaw(qint64 raw);
std::optional<SerialSettings::Parity> parityFromRaw(const QString& raw);
std::optional<SerialSettings::StopBits> stopBitsFromRaw(qint64 raw);
std::optional<SerialSettings::FlowControl> flowControlFromRaw(const QString& raw);
std::optional<SerialSettings::LineEnding> lineEndingFromRaw(const QString& raw);

// The bytes appended to a SMART command or a raw send.
QByteArray lineEndingBytes(SerialSettings::LineEnding ending);
// Parity letter of the frame text: N, E or O.
QChar parityLetter(SerialSettings::Parity parity);
