#pragma once

#include "protocol/SmartCommand.h"

#include <chrono>
#include <optional>

// The rhythm of the line in SMART mode: one command at a time, each ended by the
// display's prompt or by the response timeout, then a pause before the next. The display
// owes one prompt for each command written; a command ends only with the prompt that
// settles what is owed, so that a late prompt of a command that timed out never ends the
// next one. A plain value: its owner writes the commands and runs one timer to deadline().
class PromptHandshake {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Seconds = std::chrono::duration<double>;

    enum class Phase {
        idle,     // a command may be written
        awaiting, // one is on the line, waiting for its prompt
        pausing,  // the pause after a command
    };

    Phase phase() const { return m_phase; }
    const std::optional<SmartCommand>& current() const { return m_current; }
    // Prompts the display still owes: more than the command on the line after a timeout.
    int owed() const { return m_owed; }
    // Those late prompts are not coming: forget them.
    void forgetOwed() { m_owed = m_current ? 1 : 0; }
    // When the handshake moves on by itself: the command's timeout, or the end of the
    // pause. Nothing while idle.
    std::optional<TimePoint> deadline() const;

    // A command was written at `now`; its prompt is due within `timeout`.
    void sent(SmartCommand command, TimePoint now, Seconds timeout);
    // A prompt came: returns the command it ends and begins the pause. A prompt with
    // nothing on the line, or one that settles an older command, ends nothing.
    std::optional<SmartCommand> promptArrived(TimePoint now, Seconds pause);
    // Time has come to `now`: a command past its timeout is returned (it timed out) and
    // the pause begins; a pause that is over ends.
    std::optional<SmartCommand> timePassed(TimePoint now, Seconds pause);
    // Nothing is on the line any more (the line closed, raw mode): returns what was.
    std::optional<SmartCommand> reset();

    bool operator==(const PromptHandshake&) const = default;

private:
    void pauseFrom(TimePoint now, Seconds pause);

    Phase m_phase = Phase::idle;
    std::optional<SmartCommand> m_current;
    int m_owed = 0;
    TimePoint m_deadline{};
};
