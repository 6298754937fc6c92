#pragma once

#include "cli/commands/Command.h"
#include "cli/invocation/TargetList.h"
#include "controller/ControllerSettings.h"

#include <QJsonObject>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class Console;
class KeptConsole;
class QTimer;

// "--targets FILE COMMAND …": the command for every display of the file, all on this
// process's event loop, each with its own session (line, queue, display), at most
// --parallel at once. One line per display in the order of the file, as soon as it and
// those before it are done; a summary on stderr.
class FleetCommand final : public Command {
public:
    explicit FleetCommand(Session& session);
    ~FleetCommand() override;
    void start() override;

private:
    struct Outcome {
        int exitCode = -1;
        QStringList lines;
        std::optional<QJsonObject> json;
        QString error;
    };
    struct Attempt;
    struct Run {
        Target target;
        int attempts = 0;
        std::unique_ptr<Attempt> attempt; // the one under way
        std::unique_ptr<QTimer> retry;    // waiting to try again
        std::optional<Outcome> outcome;
    };

    void startNext();
    void startAttempt(qsizetype index);
    void onEnded(qsizetype index, int code);
    void settle(qsizetype index, Outcome outcome);
    void stop();
    void printReady();
    void printOne(const Run& run);
    void end();

    Session& m_session;
    ControllerSettings::Loaded m_stored; // read once for every display
    std::vector<Run> m_runs;             // in the order of the file
    std::vector<std::unique_ptr<Attempt>> m_retired;
    qsizetype m_started = 0;
    qsizetype m_printed = 0;
    qsizetype m_running = 0;
    qsizetype m_parallel = 0;
    int m_retries = 0;
    bool m_stopping = false;
    bool m_ended = false;
    int m_succeeded = 0;
    int m_failed = 0;
    int m_unreachable = 0;
    int m_aborted = 0;
};
