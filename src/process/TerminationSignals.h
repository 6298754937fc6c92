#pragma once

#include "line/UniqueFd.h"

#include <QObject>
#include <array>
#include <csignal>
#include <memory>

class QSocketNotifier;

// Ctrl+C (SIGINT), SIGTERM and SIGHUP as a Qt signal on the main thread, so that the
// program ends cleanly: it closes the line (and with it the exclusive use of the device),
// prints its summary, removes its link. Restores the previous handling when destroyed. At most one
// instance at a time: a signal handler has no object to talk to.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe could not be made; the signals then keep their default
    // effect and end the process.
    bool isValid() const { return m_notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void drain();

    // The self-pipe: the handler writes, the event loop reads. Declared before the
    // notifier, which goes first.
    UniqueFd m_readEnd;
    UniqueFd m_writeEnd;
    std::array<struct sigaction, 3> m_previous{};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
