#pragma once

#include "cli/commands/Command.h"

#include <QByteArray>
#include <QMetaObject>
#include <QTimer>

// "raw DATA": opens the line in raw mode (no queries), writes the bytes unfiltered
// and prints what comes back within the response timeout.
class RawCommand final : public Command {
public:
    explicit RawCommand(Session& session);
    ~RawCommand() override;
    void start() override;

private:
    void run();
    void print();

    Session& m_session;
    QMetaObject::Connection m_listening;
    QByteArray m_received;
    bool m_cut = false;
    QTimer m_window;
};
