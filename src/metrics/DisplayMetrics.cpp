#include "metrics/DisplayMetrics.h"

#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/RemoteDisplay.h"
#include "controller/TrafficLog.h"
#include "metrics/SeriesRegistry.h"
#include "protocol/InputSource.h"
#include "protocol/PowerState.h"

#include <QDateTime>
#include <chrono>

namespace {

using Labels = std::map<std::string, std::string>;

SeriesFamily& gauge(SeriesRegistry& registry, const char* name, const char* help)
{
    return registry.gauge(name, help);
}

SeriesFamily& counter(SeriesRegistry& registry, const char* name, const char* help)
{
    return registry.counter(name, help);
}

Labels with(Labels labels, const Labels& extra)
{
    labels.insert(extra.begin(), extra.end());
    return labels;
}

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

qint64 monotonicUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The power states a display of either series may be in; the update states are not.
const QList<PowerState>& powerStates()
{
    static const QList<PowerState> states{PowerState::on, PowerState::ready, PowerState::standby,
                                          PowerState::powersave, PowerState::off};
    return states;
}

} // namespace

MetricFamilies::MetricFamilies(SeriesRegistry& registry)
    : up(gauge(registry, "bildwart_up", "1 when the display answered its last poll"))
    , lastAnswer(gauge(registry, "bildwart_last_answer_timestamp_seconds",
                       "When the display last answered (Unix time)"))
    , powerState(gauge(registry, "bildwart_power_state",
                       "1 for the display's power state, 0 for the others"))
    , input(gauge(registry, "bildwart_input", "1 for the display's input, 0 for the others"))
    , volume(gauge(registry, "bildwart_volume", "Volume (0-100)"))
    , brightness(gauge(registry, "bildwart_brightness", "Brightness (0-100)"))
    , mute(gauge(registry, "bildwart_mute", "1 while the sound is muted"))
    , videoFreeze(gauge(registry, "bildwart_video_freeze", "1 while the picture is frozen"))
    , screenShade(gauge(registry, "bildwart_screen_shade", "1 while the screen is shaded"))
    , info(gauge(registry, "bildwart_display_info", "The display's identity, as it tells it"))
    , dropouts(counter(registry, "bildwart_dropouts_total", "Lines lost while connected"))
    , timeouts(counter(registry, "bildwart_timeouts_total", "Commands without an answer in time"))
    , reconnects(counter(registry, "bildwart_reconnects_total", "Lines opened again after a loss"))
    , pollDuration(gauge(registry, "bildwart_poll_duration_seconds",
                         "Round trip of the last answered poll query"))
{
}

DisplayMetrics::DisplayMetrics(MetricFamilies& families, DisplayController& controller,
                               std::map<std::string, std::string> labels)
    : m_families(families)
    , m_controller(controller)
    , m_labels(std::move(labels))
{
    m_up = &families.up.add(m_labels);
    for (PowerState state : powerStates())
        m_slots.push_back({&families.powerState, {{"state", rawValue(state).toStdString()}}});
    for (const InputSource& source : InputSource::all())
        m_slots.push_back({&families.input, {{"input", source.id.toStdString()}}});
    for (auto* family : {&families.volume, &families.brightness, &families.mute,
                         &families.videoFreeze, &families.screenShade})
        m_slots.push_back({family, {}});
    m_info.family = &families.info;
    m_dropouts = &families.dropouts.add(m_labels);
    m_timeouts = &families.timeouts.add(m_labels);
    m_reconnects = &families.reconnects.add(m_labels);
    connect(&controller.display(), &RemoteDisplay::changed, this, &DisplayMetrics::refresh);
    connect(&controller.line(), &LineSession::connectionChanged, this, &DisplayMetrics::refresh);
    connect(&controller.line(), &LineSession::dropoutsChanged, this, &DisplayMetrics::refresh);
    connect(&controller.pump(), &CommandPump::finished, this, &DisplayMetrics::onFinished);
    connect(&controller.log(), &TrafficLog::appended, this, &DisplayMetrics::onLogAppended);
    refresh();
}

DisplayMetrics::~DisplayMetrics()
{
    // A display that left leaves no series behind.
    for (Slot& slot : m_slots)
        keep(slot, std::nullopt);
    keep(m_info, std::nullopt);
    m_families.up.remove(m_up);
    if (m_lastAnswer)
        m_families.lastAnswer.remove(m_lastAnswer);
    if (m_pollDuration)
        m_families.pollDuration.remove(m_pollDuration);
    m_families.dropouts.remove(m_dropouts);
    m_families.timeouts.remove(m_timeouts);
    m_families.reconnects.remove(m_reconnects);
}

void DisplayMetrics::keep(Slot& slot, std::optional<double> value)
{
    if (!value) {
        if (slot.series)
            slot.family->remove(std::exchange(slot.series, nullptr));
        return;
    }
    if (!slot.series)
        slot.series = &slot.family->add(with(m_labels, slot.extra));
    if (slot.series->value() != *value)
        slot.series->set(*value);
}

void DisplayMetrics::refresh()
{
    const DisplayState& state = m_controller.display().state();
    const bool connected = m_controller.line().connection().is(ConnectionState::Case::connected);
    if (!connected)
        setUp(false);
    const auto live = [&](DisplaySetting setting) -> std::optional<QString> {
        if (state.standing(setting) != DisplayState::Standing::live)
            return std::nullopt;
        return state.knowledge(setting).value;
    };

    auto slot = m_slots.begin();
    const auto power = live(DisplaySetting::power);
    for (PowerState candidate : powerStates())
        keep(*slot++,
             power ? std::optional(*power == rawValue(candidate) ? 1.0 : 0.0) : std::nullopt);
    const auto input = live(DisplaySetting::input);
    for (const InputSource& source : InputSource::all())
        keep(*slot++, input ? std::optional(*input == source.id ? 1.0 : 0.0) : std::nullopt);

    const auto level = [&](DisplaySetting setting) -> std::optional<double> {
        const auto value = live(setting);
        bool ok = false;
        const double number = value ? value->toDouble(&ok) : 0.0;
        return ok ? std::optional(number) : std::nullopt;
    };
    const auto toggle = [&](DisplaySetting setting) -> std::optional<double> {
        const auto value = live(setting);
        return value ? std::optional(*value == u"on" ? 1.0 : 0.0) : std::nullopt;
    };
    keep(*slot++, level(DisplaySetting::volume));
    keep(*slot++, level(DisplaySetting::brightness));
    keep(*slot++, toggle(DisplaySetting::mute));
    keep(*slot++, toggle(DisplaySetting::videoFreeze));
    keep(*slot++, toggle(DisplaySetting::screenShade));

    const auto model = live(DisplaySetting::modelNumber);
    const auto serial = live(DisplaySetting::serialNumber);
    // One identity at a time: a swapped display's series replaces the old one.
    const Labels identity =
        model && serial
            ? Labels{{"model", model->toStdString()},
                     {"serial", serial->toStdString()},
                     {"part", live(DisplaySetting::partNumber).value_or(QString()).toStdString()},
                     {"firmware", live(DisplaySetting::firmware).value_or(QString()).toStdString()},
                     {"series",
                      state.series() ? rawValue(*state.series()).toStdString() : std::string()}}
            : Labels{};
    if (identity != m_info.extra) {
        keep(m_info, std::nullopt);
        m_info.extra = identity;
    }
    keep(m_info, identity.empty() ? std::nullopt : std::optional(1.0));

    const LineSession& line = m_controller.line();
    const qint64 dropouts = line.dropoutsTotal();
    if (dropouts > m_dropoutsSeen)
        m_dropouts->increment(double(dropouts - m_dropoutsSeen));
    m_dropoutsSeen = dropouts;
    if (line.reconnects() > m_reconnectsSeen)
        m_reconnects->increment(line.reconnects() - m_reconnectsSeen);
    m_reconnectsSeen = line.reconnects();
}

void DisplayMetrics::setUp(bool up)
{
    m_up->set(up ? 1.0 : 0.0);
}

void DisplayMetrics::onLogAppended(int count)
{
    const LogBuffer& log = m_controller.log().entries();
    for (int i = std::max(0, log.size() - count); i < log.size(); ++i) {
        if (log.at(i).kind == LogEntry::Kind::tx && log.at(i).poll)
            m_pollSentUs = monotonicUs();
    }
    const int timeouts = m_controller.log().counters().timeouts;
    if (timeouts > m_timeoutsSeen)
        m_timeouts->increment(timeouts - m_timeoutsSeen);
    m_timeoutsSeen = timeouts;
}

void DisplayMetrics::onFinished(const CommandResult& result)
{
    using Outcome = CommandResult::Outcome;
    if (result.outcome == Outcome::timedOut) {
        setUp(false);
        return;
    }
    if (result.outcome != Outcome::answered && result.outcome != Outcome::refused)
        return;
    setUp(true);
    if (!m_lastAnswer)
        m_lastAnswer = &m_families.lastAnswer.add(m_labels);
    m_lastAnswer->set(double(nowMs()) / 1000.0);
    if (result.command.poll && m_pollSentUs >= 0) {
        if (!m_pollDuration)
            m_pollDuration = &m_families.pollDuration.add(m_labels);
        m_pollDuration->set(double(monotonicUs() - m_pollSentUs) / 1e6);
        m_pollSentUs = -1;
    }
}
