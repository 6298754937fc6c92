#pragma once

#include "protocol/DisplaySeries.h"
#include "protocol/DisplaySetting.h"
#include "protocol/PowerState.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <chrono>
#include <optional>

// Where a value the display told came from.
enum class ValueSource {
    query,  // the answer to a "get" of ours
    report, // a #name=value line: changed at the device
    echo,   // the display's answer to a "set" of ours
};

// What the program knows of one setting: the value the display told (if it ever did),
// where and when, and whether a command of ours for it is under way or failed.
struct SettingKnowledge {
    // As the display told it: lower case for power, input and switches, a level as its
    // number, device information letter for letter. None: unknown.
    std::optional<QString> value;
    ValueSource source = ValueSource::query;
    QDateTime confirmedAt;  // when the display last told it (UTC)
    QString line;           // the line it came over
    quint64 connection = 0; // the connection it came in (see DisplayState::connection)

    // Commands of ours for this setting that are queued or on the line, and the value
    // the newest of them sets (shown at once, so the control follows the hand). A power
    // command has no such value: the power state changes when the display says so.
    int pending = 0;
    std::optional<QString> wanted;
    // Why the last command of ours for it failed; cleared by the next one.
    std::optional<QString> failure;

    bool operator==(const SettingKnowledge&) const = default;
};

// What the program knows about the display, setting by setting: a plain value. The
// display model changes it, compares before with after and announces what differs.
class DisplayState {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // After a set action, query answers for the levels are ignored this long: a poll
    // asked before the user moved a slider must not move it back.
    static constexpr std::chrono::milliseconds levelHoldOff{2000};

    // How much a value can be believed.
    enum class Standing {
        unknown,   // never told
        lastKnown, // told on an earlier connection, or the line is closed now
        live,      // told on the open connection
    };

    const SettingKnowledge& knowledge(DisplaySetting setting) const;
    Standing standing(DisplaySetting setting) const;

    // The value to show: the one a command of ours is setting, else the one told.
    std::optional<QString> shown(DisplaySetting setting) const;
    std::optional<PowerState> power() const;
    std::optional<QString> input() const;
    std::optional<double> level(DisplaySetting setting) const;
    std::optional<bool> toggle(DisplaySetting setting) const;
    // Device information as told; nothing while unknown.
    std::optional<QString> text(DisplaySetting setting) const;
    // Recognised from the model number the display told; nothing while unknown.
    std::optional<DisplaySeries> series() const;

    // The open connection, counted from 1, or 0 while none is open. Values told on an
    // earlier one are last known.
    quint64 connection() const { return m_connection; }
    void beginConnection(quint64 connection)
    {
        m_connection = connection;
        touchAll();
    }
    void endConnection()
    {
        m_connection = 0;
        touchAll();
    }
    // A display (not an echo, not noise) answered on the open connection: a reply that
    // names a setting, or a prompt after a command of ours.
    bool displayAnswered() const { return m_connection != 0 && m_answeredIn == m_connection; }
    void noteDisplayAnswered() { m_answeredIn = m_connection; }
    // The newest confirmation of any value: which line the picture is from, and when.
    std::optional<SettingKnowledge> newest() const;

    // One value the display told, on `line` at `when`. `fromQuery`: the answer to a
    // query of ours (level answers fall under the hold-off). Unknown names and values
    // that do not read (a level that is no number) change nothing. A serial number other
    // than the known one means another display: every other value becomes unknown.
    // Returns whether the value was taken.
    bool apply(const QString& name, const QString& value, ValueSource source, bool fromQuery,
               TimePoint now, const QDateTime& when, const QString& line);

    // A command of ours for the setting goes out; `wanted` is what it sets, if known.
    void commandQueued(DisplaySetting setting, const std::optional<QString>& wanted);
    // It is done: answered (`failure` none), failed, or dropped. The wanted value goes
    // with the last command under way; a failure stays until the next command.
    void commandEnded(DisplaySetting setting, const std::optional<QString>& failure);
    // Every command under way is gone (the line closed, raw mode).
    void dropPending();

    // Opens the hold-off window (every set action does); closing it lets the answer to
    // a query for the truth through.
    void holdOffLevelQueries(TimePoint now) { m_levelQueriesIgnoredUntil = now + levelHoldOff; }
    void endHoldOff() { m_levelQueriesIgnoredUntil = {}; }

    // Grows with every change of a setting's knowledge or standing: comparing two looks at
    // it is cheaper than comparing the knowledge.
    quint32 revision(DisplaySetting setting) const { return m_revisions[std::size_t(setting)]; }

    // Equal knowledge; how often it changed does not count.
    bool operator==(const DisplayState& other) const
    {
        return m_settings == other.m_settings && m_connection == other.m_connection &&
               m_answeredIn == other.m_answeredIn &&
               m_levelQueriesIgnoredUntil == other.m_levelQueriesIgnoredUntil;
    }

private:
    SettingKnowledge& at(DisplaySetting setting)
    {
        ++m_revisions[std::size_t(setting)];
        return m_settings[std::size_t(setting)];
    }
    void touchAll()
    {
        for (quint32& revision : m_revisions)
            ++revision;
    }

    std::array<SettingKnowledge, displaySettingCount> m_settings{};
    std::array<quint32, displaySettingCount> m_revisions{};
    quint64 m_connection = 0;
    quint64 m_answeredIn = 0;
    TimePoint m_levelQueriesIgnoredUntil{};
};

// The text a level is kept as.
QString levelText(double level);
