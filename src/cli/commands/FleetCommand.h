#pragma once

#include "cli/commands/Command.h"
#include "cli/invocation/TargetList.h"

#include <memory>
#include <optional>
#include <vector>

class QProcess;

// "--targets FILE COMMAND …": the command for every display of the file, each in a run of
// its own (a process with its own connection), at most --parallel at once. One line per
// display in the order of the file, as soon as it and those before it are done; a
// summary on stderr.
class FleetCommand final : public Command {
public:
    explicit FleetCommand(Session& session);
    ~FleetCommand() override;
    void start() override;

private:
    struct Outcome {
        int exitCode = -1;
        QByteArray out;
        QString error;
    };
    struct Run {
        Target target;
        std::unique_ptr<QProcess> process;
        std::optional<Outcome> outcome;
    };

    void startNext();
    void onFinished(qsizetype index);
    void printReady();
    void printOne(const Run& run);
    void end();

    Session& m_session;
    std::vector<Run> m_runs; // in the order of the file
    qsizetype m_started = 0;
    qsizetype m_printed = 0;
    qsizetype m_running = 0;
    qsizetype m_parallel = 0;
    bool m_stopping = false;
    int m_succeeded = 0;
    int m_failed = 0;
    int m_unreachable = 0;
};
