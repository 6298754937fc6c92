#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Statistics of one bridge-plug run: packets out, verdicts on their echoes, echo delays.
// A plain value; the controller holds one and replaces it with a fresh one at every start.
struct LoopbackStats {
    // The verdict on one packet.
    class Result {
    public:
        // display: what came back is a display's refusal ("invalid cmd"), no echo at all.
        enum class Kind { ok, lost, incomplete, extra, corrupt, display };

        static constexpr Result ok() { return Result(Kind::ok); }
        static constexpr Result lost() { return Result(Kind::lost); }
        static constexpr Result incomplete() { return Result(Kind::incomplete); }
        static constexpr Result extra() { return Result(Kind::extra); }
        static constexpr Result display() { return Result(Kind::display); }
        // `at` is the zero-based index of the first byte that differs.
        static constexpr Result corrupt(qsizetype at) { return Result(Kind::corrupt, at); }

        constexpr Kind kind() const { return m_kind; }
        // The index of a corrupt packet; 0 for every other kind.
        constexpr qsizetype index() const { return m_index; }

        // Only corrupt results carry an index, so comparing both fields compares the
        // kind and, for corrupt, the index.
        bool operator==(const Result&) const = default;

        // The verdict for the log; both arguments are byte counts (sent, came back).
        QString text(qint64 expected, qint64 received) const;

    private:
        constexpr explicit Result(Kind kind, qsizetype index = 0)
            : m_kind(kind)
            , m_index(index)
        {
        }

        Kind m_kind;
        qsizetype m_index;
    };

    // Header "<0001>" plus CR LF: the shortest packet that still says which one it is.
    static constexpr qint64 minPacketSize = 8;
    // The loopback bar offers 8 to 512 bytes. A size far beyond is a caller's slip and
    // must not allocate without bound; 64 KiB is already more than a minute of line time
    // at 9600 baud, so no useful echo check needs more.
    static constexpr qint64 maxPacketSize = 65536;

    qint64 sent = 0;
    qint64 ok = 0;
    qint64 lost = 0;
    qint64 faulty = 0;
    qint64 bytesSent = 0;
    qint64 bytesReceived = 0;
    std::optional<double> lastLatency; // seconds, correct packets only
    std::optional<double> minLatency;
    std::optional<double> maxLatency;
    std::optional<Result> lastResult;

    bool operator==(const LoopbackStats&) const = default;

    // "<0001>BCDEFGHI\r\n" for sequence 1 and size 16. The size is clamped to
    // minPacketSize…maxPacketSize; any sequence number, negative too, gives a 6-byte header.
    static QByteArray packet(qint64 sequence, qint64 size);
    // A display's refusal wins over all; then a wrong byte over a wrong length; an empty
    // echo is lost.
    static Result evaluate(const QByteArray& sent, const QByteArray& received);

    // Counts one packet; `latency` (seconds) is taken only from a correct packet.
    void record(const Result& result, double latency);
    // "10 Pakete, 10 in Ordnung, 0 fehlerhaft, 0 verloren"
    QString summary() const;
};
