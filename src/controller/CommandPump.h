#pragma once

#include "controller/Activity.h"
#include "controller/values/CommandQueue.h"
#include "controller/values/CommandResult.h"
#include "controller/values/PromptHandshake.h"
#include "protocol/SmartParser.h"

#include <QObject>
#include <QSet>
#include <memory>
#include <optional>

class Clock;
class ClockTimer;
class LineSession;
class TrafficLog;

// Speaks the display's protocol over the open line: one queue of commands, each written
// when the line is idle and ended by the display's prompt or the response timeout; the
// replies parsed into events; the periodic poll; and raw mode, in which nothing of this
// happens and typed bytes go out unfiltered.
class CommandPump : public QObject {
    Q_OBJECT

public:
    struct Polling {
        bool enabled = true;
        double interval = 5.0; // seconds; rounds come at least a second apart
        bool operator==(const Polling&) const = default;
    };

    CommandPump(LineSession& session, TrafficLog& log, std::shared_ptr<const Clock> clock,
                Polling polling, QObject* parent = nullptr);
    ~CommandPump() override;

    // Ask for every value and the device information at each connect; a one-shot
    // command that asks for one value needs only the fresh prompt.
    void setRefreshAtConnect(bool on) { m_refreshAtConnect = on; }

    // Queues a command and returns its ticket, which its result carries; 0 when it was
    // dropped (no line, raw mode). A set command takes the place of a queued one of the
    // same setting, which ends as superseded.
    quint64 send(SmartCommand command);
    quint64 send(const QString& text) { return send(SmartCommand{text}); }
    bool acceptsCommands() const;
    const CommandQueue& queue() const { return m_queue; }
    // The command on the line, waiting for its prompt.
    const std::optional<SmartCommand>& current() const { return m_handshake.current(); }
    bool isIdle() const { return m_queue.isEmpty() && !current(); }
    // Every value and the device information; the device information alone.
    void refreshAll();
    void queryDeviceInfo();

    bool rawMode() const { return m_rawMode; }
    void setRawMode(bool on);
    // Unfiltered bytes; the log shows `text`, or the bytes' printable text.
    void sendRaw(const QByteArray& bytes, const std::optional<QString>& text = std::nullopt);
    void sendHex(const QString& text);
    // A free command line: queued in SMART mode, written with its line ending in raw mode.
    void sendCustom(const QString& text);

    const Polling& polling() const { return m_polling; }
    void setPolling(const Polling& polling);
    // A line test holds the poll while it runs.
    void holdPolling(bool held) { m_pollingHeld = held; }
    // Every command wakes a display from network standby: resting, it is asked once a
    // minute at most.
    static constexpr double restingPollSeconds = 60.0;
    void setDisplayResting(bool resting);
    bool displayResting() const { return m_displayResting; }

    // The line's part of the pump, driven by the session.
    void lineOpened();
    void lineClosing();
    void received(const QByteArray& chunk);

signals:
    void queueChanged(); // the queue or the command on the line
    void rawModeChanged();
    void pollingChanged();
    // Each piece of display output, with the command on the line when it came.
    void event(const SmartEvent& event, const std::optional<SmartCommand>& during);
    void finished(const CommandResult& result);

private:
    void scheduleStep();
    void step();
    void execute(SmartCommand command);
    void arm();
    void onDeadline();
    void endCurrent(const std::optional<SmartCommand>& ended, CommandResult::Outcome outcome,
                    const QString& error = {});
    void cancelAll(const QString& why);
    void schedulePoll();
    void pollRound();

    LineSession& m_session;
    TrafficLog& m_log;
    std::shared_ptr<const Clock> m_clock;
    Polling m_polling;
    bool m_refreshAtConnect = true;
    bool m_pollingHeld = false;
    bool m_displayResting = false;
    bool m_running = false; // the line is open
    bool m_rawMode = false;
    bool m_stepPosted = false;
    // Above zero while the pump itself is at work (taking a step, an opening or closing
    // line): what its listeners queue then waits for the event loop.
    int m_busy = 0;
    // While a reply or a deadline is handled, the next step waits for its end rather than
    // for the event loop: a reply being read must not meet a command sent after it.
    bool m_deferSteps = false;
    bool m_stepOwed = false;
    template <typename Work>
    void deferringSteps(Work&& work);
    void handleChunk(const QByteArray& chunk);
    void handleDeadline();
    bool m_resyncing = false;    // the prompt request after a timeout is on the line
    bool m_displayHeard = false; // a prompt or a value came on this line
    quint64 m_lastTicket = 0;
    // The pump's own queries (the refresh at connect, the device information); polls carry
    // their flag. Dropped from the queue when one times out before any display was heard.
    QSet<quint64> m_ownQueries;
    void dropOwnQueries();
    // Counts closings and raw-mode switches: a loop over parsed events stops when one
    // of its listeners ended the line.
    quint64 m_epoch = 0;

    CommandQueue m_queue;
    PromptHandshake m_handshake;
    SmartParser m_parser;
    // What came for the command on the line, and the display's error line if any.
    QList<SmartEvent> m_replies;
    QString m_refusal;
    std::unique_ptr<ClockTimer> m_timer;
    Activity m_poll;
};
