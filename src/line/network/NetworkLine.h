#pragma once

#include "line/Line.h"
#include "line/NetworkAddress.h"

#include <QTimer>
#include <memory>
#include <thread>

class GensioService;
class QSocketNotifier;
struct NetworkMailbox;

// A serial port reached over the network (ser2net, an RS-232 gateway), raw TCP or RFC
// 2217. A short-lived thread of its own looks up the host's name (a slow name server
// must not hold up the window or the other lines); then the connection runs on the
// libgensio service thread. This object lives on the main thread and takes what arrives
// from the mailbox a bounded amount per wake-up, as a serial port reads its descriptor.
class NetworkLine final : public Line {
public:
    // How long connecting may take before the user is told.
    static constexpr int connectTimeoutMs = 5000;

    // `entered` is the address as the user wrote it, for the log and the status line.
    NetworkLine(NetworkAddress address, QString entered, SerialSettings settings);
    ~NetworkLine() override;

    void open(OpenDone done) override;
    std::optional<SerialPortError> apply(const SerialSettings& settings) override;
    std::optional<SerialPortError> write(const QByteArray& bytes) override;
    void close() override;
    QString name() const override { return m_entered; }

private:
    void takeMail();
    void finishOpen(std::optional<SerialPortError> error);
    SerialPortError failure(int error) const;
    SerialPortError nameFailure(int error) const;
    QString lossReason(int error) const;
    void stopThread();

    NetworkAddress m_address;
    QString m_entered;
    SerialSettings m_settings;
    std::shared_ptr<NetworkMailbox> m_mailbox;
    std::shared_ptr<GensioService> m_service;
    std::thread m_resolver;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_connectTimeout;
    OpenDone m_openDone;
    bool m_open = false;
    bool m_lossReported = false;
    // Cleared when the line is destroyed, so a callback that destroys it stops the rest.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
