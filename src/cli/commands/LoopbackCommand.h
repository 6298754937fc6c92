#pragma once

#include "cli/commands/Command.h"
#include "cli/output/RoundTripTimes.h"

#include <QtGlobal>

// "loopback": the bridge-plug test for a given number of packets. One line per faulty
// packet, then the summary and the round-trip times; Ctrl+C ends it early with the
// summary of what was tested.
class LoopbackCommand final : public Command {
public:
    explicit LoopbackCommand(Session& session);
    void start() override;

private:
    void run();
    void onStatsChanged();
    void onRunningChanged();
    void end();
    void printSummary();

    Session& m_session;
    RoundTripTimes m_times;
    qint64 m_count = 0;
    qint64 m_evaluated = 0;
    qint64 m_bytesReceived = 0;
    bool m_ending = false;
};
