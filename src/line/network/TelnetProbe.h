#pragma once

#include <QByteArray>
#include <algorithm>

// Looks at the first bytes after connecting for Telnet's negotiation: "interpret as
// command" (0xFF) and one of SB, WILL, WONT, DO, DONT after it, what a Telnet peer sends
// first. Seen at a raw port, the port is an RFC 2217 one.
class TelnetProbe {
public:
    static constexpr qsizetype probedBytes = 64;

    // Whether this chunk, the next one after those before, shows it.
    bool sees(const QByteArray& chunk)
    {
        if (m_looked >= probedBytes)
            return false;
        const qsizetype looked = std::min(chunk.size(), probedBytes - m_looked);
        m_looked += looked;
        for (qsizetype i = 0; i + 1 < looked; ++i) {
            const auto byte = static_cast<unsigned char>(chunk[i]);
            const auto next = static_cast<unsigned char>(chunk[i + 1]);
            if (byte == 0xFF && next >= 0xFA && next <= 0xFE)
                return true;
        }
        return false;
    }

private:
    qsizetype m_looked = 0;
};
