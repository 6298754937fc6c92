#include "linetest/LoopbackStats.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

// The header shows four digits; the number wraps after 9999.
constexpr qint64 headerModulus = 10000;
constexpr char bodyCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
constexpr qint64 bodyCharacterCount = sizeof(bodyCharacters) - 1;
constexpr qint64 headerLength = 6;
constexpr qint64 endLength = 2;

// Modulo that stays in 0..modulus-1 for negative values as well.
qint64 wrapped(qint64 value, qint64 modulus)
{
    const qint64 rest = value % modulus;
    return rest < 0 ? rest + modulus : rest;
}

} // namespace

QByteArray LoopbackStats::packet(qint64 sequence, qint64 size)
{
    const qint64 length = std::clamp(size, minPacketSize, maxPacketSize);
    QByteArray bytes;
    bytes.reserve(length);

    bytes.append('<');
    bytes.append(QByteArray::number(wrapped(sequence, headerModulus)).rightJustified(4, '0'));
    bytes.append('>');

    // Shifting the body by the sequence number makes consecutive packets differ in every
    // body byte, so an echo of the previous packet cannot pass for this one.
    const qint64 fill = length - headerLength - endLength;
    const qint64 start = wrapped(sequence, bodyCharacterCount);
    for (qint64 i = 0; i < fill; ++i)
        bytes.append(bodyCharacters[(start + i) % bodyCharacterCount]);

    bytes.append("\r\n");
    return bytes;
}

LoopbackStats::Result LoopbackStats::evaluate(const QByteArray& sent, const QByteArray& received)
{
    if (received.isEmpty())
        return Result::lost();
    if (received == sent)
        return Result::ok();
    // A display is attached where the bridge plug should be.
    if (received.toLower().contains("invalid cmd"))
        return Result::display();

    const qsizetype common = std::min(sent.size(), received.size());
    const auto [sentAt, receivedAt] =
        std::mismatch(sent.cbegin(), sent.cbegin() + common, received.cbegin());
    if (sentAt != sent.cbegin() + common)
        return Result::corrupt(sentAt - sent.cbegin());

    if (received.size() == sent.size())
        return Result::ok();
    if (received.size() < sent.size())
        return Result::incomplete();
    return Result::extra();
}

void LoopbackStats::record(const Result& result, double latency)
{
    ++sent;
    lastResult = result;
    switch (result.kind()) {
    case Result::Kind::corrupt:
    case Result::Kind::incomplete:
    case Result::Kind::extra:
    case Result::Kind::display:
        ++faulty;
        break;
    case Result::Kind::lost:
        ++lost;
        break;
    case Result::Kind::ok:
        ++ok;
        lastLatency = latency;
        if (!minLatency || latency < *minLatency)
            minLatency = latency;
        if (!maxLatency || latency >= *maxLatency)
            maxLatency = latency;
        break;
    }
}

QString LoopbackStats::summary() const
{
    return QCoreApplication::translate("LoopbackStats",
                                       "%1 Pakete, %2 in Ordnung, %3 fehlerhaft, %4 verloren")
        .arg(QString::number(sent), QString::number(ok), QString::number(faulty),
             QString::number(lost));
}

QString LoopbackStats::Result::text(qint64 expected, qint64 received) const
{
    switch (m_kind) {
    case Kind::corrupt:
        return QCoreApplication::translate("LoopbackStats",
                                           "Byte %1 verfälscht – Baudrate/Parität/Masse prüfen")
            .arg(QString::number(m_index + 1));
    case Kind::ok:
        return QCoreApplication::translate("LoopbackStats", "in Ordnung");
    case Kind::lost:
        return QCoreApplication::translate("LoopbackStats",
                                           "nichts zurück – Brücke/Kabel/Adapter prüfen");
    case Kind::incomplete:
        return QCoreApplication::translate("LoopbackStats", "nur %1 von %2 Bytes zurück")
            .arg(QString::number(received), QString::number(expected));
    case Kind::extra:
        return QCoreApplication::translate("LoopbackStats", "%1 statt %2 Bytes zurück")
            .arg(QString::number(received), QString::number(expected));
    case Kind::display:
        return QCoreApplication::translate("LoopbackStats",
                                           "Display angeschlossen, kein Brückenstecker");
    }
    return {};
}
