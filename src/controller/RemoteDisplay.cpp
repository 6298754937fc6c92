#include "controller/RemoteDisplay.h"

#include "controller/Clock.h"
#include "controller/CommandPump.h"
#include "controller/LineSession.h"
#include "controller/TrafficLog.h"
#include "protocol/CommandLine.h"

#include <cmath>

namespace {

// Rounded half away from zero, kept within what a 64-bit integer can hold.
qint64 roundedLevel(double value)
{
    if (!std::isfinite(value))
        return 0;
    return qint64(std::clamp(std::round(value), -9.0e18, 9.0e18));
}

} // namespace

RemoteDisplay::RemoteDisplay(CommandPump& pump, LineSession& session, TrafficLog& log,
                             std::shared_ptr<const Clock> clock, DisplaySeries series,
                             QObject* parent)
    : QObject(parent)
    , m_pump(pump)
    , m_session(session)
    , m_log(log)
    , m_clock(std::move(clock))
    , m_series(series)
{
    connect(&pump, &CommandPump::event, this, &RemoteDisplay::onEvent);
    connect(&pump, &CommandPump::finished, this, &RemoteDisplay::onFinished);
    connect(&session, &LineSession::opened, this, &RemoteDisplay::onOpened);
    connect(&session, &LineSession::closing, this, &RemoteDisplay::onClosing);
    const auto checkActions = [this] {
        if (canAct() != m_couldAct) {
            m_couldAct = canAct();
            emit canActChanged();
        }
    };
    connect(&pump, &CommandPump::rawModeChanged, this, checkActions);
    connect(&session, &LineSession::connectionChanged, this, checkActions);
    connect(this, &RemoteDisplay::answeredChanged, this, checkActions);
}

void RemoteDisplay::setSeries(DisplaySeries series)
{
    if (series == m_series)
        return;
    m_series = series;
    emit seriesChanged();
}

QString RemoteDisplay::whyInert() const
{
    if (!m_session.connection().is(ConnectionState::Case::connected))
        return LineSession::notConnectedText();
    if (m_pump.rawMode())
        return tr("Rohdaten-Modus: Die Bedienelemente senden nichts.");
    return m_heldBy;
}

void RemoteDisplay::holdActions(const QString& reason)
{
    const bool could = canAct();
    m_heldBy = reason;
    if (canAct() != could) {
        m_couldAct = canAct();
        emit canActChanged();
    }
}

void RemoteDisplay::change(const std::function<void(DisplayState&)>& edit)
{
    std::array<quint32, displaySettingCount> before{};
    for (int i = 0; i < displaySettingCount; ++i)
        before[std::size_t(i)] = m_state.revision(DisplaySetting(i));
    const bool answered = m_state.displayAnswered();
    edit(m_state);
    QList<DisplaySetting> differing;
    for (int i = 0; i < displaySettingCount; ++i) {
        if (m_state.revision(DisplaySetting(i)) != before[std::size_t(i)])
            differing.append(DisplaySetting(i));
    }
    if (!differing.isEmpty())
        emit changed(differing);
    if (answered != m_state.displayAnswered())
        emit answeredChanged();
}

void RemoteDisplay::onOpened()
{
    change([this](DisplayState& state) { state.beginConnection(++m_connections); });
}

void RemoteDisplay::onClosing()
{
    m_intents.clear();
    change([](DisplayState& state) {
        state.endConnection();
        state.dropPending();
    });
}

void RemoteDisplay::onEvent(const SmartEvent& event, const std::optional<SmartCommand>& during)
{
    if (event.kind == SmartEvent::Kind::prompt) {
        // A prompt after a command of ours: a display, not an echo of what we wrote.
        if (during)
            change([](DisplayState& state) { state.noteDisplayAnswered(); });
        return;
    }
    if (event.kind == SmartEvent::Kind::text)
        return;

    const bool report = event.kind == SmartEvent::Kind::async;
    if (report)
        m_log.append(LogEntry::Kind::async,
                     tr("Am Gerät geändert: %1=%2").arg(event.name, event.value));
    const auto written = during ? CommandLine::settingWritten(during->text) : std::nullopt;
    const auto intent = during ? m_intents.constFind(during->ticket) : m_intents.constEnd();
    const bool truthQuery = intent != m_intents.constEnd() && !intent->isSet;
    // An answer to a query of ours falls under the hold-off, unless it was asked for
    // the truth after a command of ours.
    const bool fromQuery = !report && during && !written && !truthQuery;
    const ValueSource source = report                              ? ValueSource::report
                               : written && *written == event.name ? ValueSource::echo
                                                                   : ValueSource::query;
    const QString line = m_session.openPath();
    change([&](DisplayState& state) {
        if (state.apply(event.name, event.value, source, fromQuery, m_clock->monotonic(),
                        m_clock->now(), line))
            state.noteDisplayAnswered();
    });

    if (settingNamed(event.name) == DisplaySetting::modelNumber) {
        const auto detected = m_state.series();
        if (detected && *detected != m_series) {
            setSeries(*detected);
            m_log.info(tr("Reihe automatisch erkannt: SMART %1").arg(rawValue(*detected)));
        }
    }
}

void RemoteDisplay::onFinished(const CommandResult& result)
{
    const auto found = m_intents.constFind(result.command.ticket);
    if (found == m_intents.constEnd())
        return;
    const Intent intent = *found;
    m_intents.erase(found);
    if (!intent.isSet)
        return;

    using Outcome = CommandResult::Outcome;
    const bool failed = result.outcome == Outcome::refused || result.outcome == Outcome::timedOut ||
                        result.outcome == Outcome::notSent;
    const QString name = settingName(intent.setting);
    const bool echoed =
        std::any_of(result.events.begin(), result.events.end(), [&](const SmartEvent& event) {
            return event.kind == SmartEvent::Kind::value && event.name == name;
        });
    change([&](DisplayState& state) {
        state.commandEnded(intent.setting, failed ? std::optional(result.error) : std::nullopt);
        // The truth is asked for below; nothing may hold its answer off.
        if (failed)
            state.endHoldOff();
    });
    // The picture returns to what the display says: asked again when the command failed,
    // or when the display did not tell the value it took.
    if (failed || (result.outcome == Outcome::answered && !echoed))
        askAgain(intent.setting);
}

void RemoteDisplay::askAgain(DisplaySetting setting)
{
    if (const quint64 ticket = m_pump.send(SmartCommand::query(setting)))
        m_intents.insert(ticket, {setting, false});
}

void RemoteDisplay::sendSet(DisplaySetting setting, const QString& text,
                            const std::optional<QString>& wanted)
{
    m_state.holdOffLevelQueries(m_clock->monotonic());
    const quint64 ticket = m_pump.send(text);
    if (ticket == 0)
        return;
    m_intents.insert(ticket, {setting, true});
    change([&](DisplayState& state) { state.commandQueued(setting, wanted); });
}

void RemoteDisplay::setPower(PowerState state)
{
    if (!canAct())
        return;
    // The power state changes only when the display reports it.
    sendSet(DisplaySetting::power, SmartCommand::set(DisplaySetting::power, rawValue(state)),
            std::nullopt);
}

void RemoteDisplay::setInput(const QString& id)
{
    if (!canAct())
        return;
    sendSet(DisplaySetting::input, SmartCommand::set(DisplaySetting::input, id), id.toLower());
}

void RemoteDisplay::setLevel(DisplaySetting setting, double value)
{
    if (!canAct())
        return;
    const qint64 level = roundedLevel(value);
    sendSet(setting, SmartCommand::set(setting, QString::number(level)), levelText(double(level)));
}

void RemoteDisplay::stepLevel(DisplaySetting setting, qint64 steps)
{
    if (!canAct())
        return;
    // The display does its own limiting; the command carries the full step. The local
    // value follows only from a level that is known.
    const auto level = m_state.level(setting);
    sendSet(setting, SmartCommand::relative(setting, steps),
            level ? std::optional(levelText(info(setting).range.clamped(*level + double(steps))))
                  : std::nullopt);
}

void RemoteDisplay::setSwitch(DisplaySetting setting, bool on)
{
    if (!canAct())
        return;
    sendSet(setting, SmartCommand::set(setting, SmartCommand::onOff(on)), SmartCommand::onOff(on));
}

void RemoteDisplay::factoryReset()
{
    if (!canAct())
        return;
    // Only this display's own number, told on this line: a remembered one may be another's.
    const auto serial = m_state.text(DisplaySetting::serialNumber);
    if (!serial || serial->isEmpty() ||
        m_state.standing(DisplaySetting::serialNumber) != DisplayState::Standing::live) {
        m_log.error(tr("Werksreset braucht die Seriennummer – erst „Geräteinfo abfragen“."));
        return;
    }
    m_pump.send(SmartCommand::factoryReset(*serial));
}
