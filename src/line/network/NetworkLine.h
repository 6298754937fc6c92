#pragma once

#include "line/Line.h"
#include "line/NetworkAddress.h"
#include "line/network/TelnetProbe.h"

#include <QTimer>
#include <memory>

class QHostInfo;
class QSocketNotifier;
struct NetworkMailbox;

// A serial port reached over the network (ser2net, an RS-232 gateway), raw TCP or RFC
// 2217. Qt looks up the host's name (a slow name server holds up no window); then the
// connection runs on the libgensio service thread. This object lives on the main thread
// and takes what arrives from the mailbox a bounded amount per wake-up, as a serial port
// reads its descriptor. Nothing here waits for that thread.
class NetworkLine final : public Line {
public:
    // How long connecting may take before the user is told.
    static constexpr int connectTimeoutMs = 5000;

    // `entered` is the address as the user wrote it, for the log and the status line.
    NetworkLine(NetworkAddress address, QString entered, SerialSettings settings);
    ~NetworkLine() override;

    void open(OpenDone done) override;
    std::optional<LineError> apply(const SerialSettings& settings) override;
    std::optional<LineError> write(const QByteArray& bytes) override;
    void close() override;
    QString name() const override { return m_entered; }

private:
    void looked(const QHostInfo& info);
    void takeMail();
    void finishOpen(std::optional<LineError> error);
    LineError failure(int error) const;
    LineError loss(int error) const;
    bool isTelnetAtARawPort(const QByteArray& chunk);

    NetworkAddress m_address;
    QString m_entered;
    SerialSettings m_settings;
    std::shared_ptr<NetworkMailbox> m_mailbox;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_connectTimeout;
    OpenDone m_openDone;
    int m_lookup = -1;
    bool m_open = false;
    bool m_lossReported = false;
    TelnetProbe m_telnet; // a Telnet port given as tcp://
    // Cleared when the line is destroyed, so a callback that destroys it stops the rest.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
