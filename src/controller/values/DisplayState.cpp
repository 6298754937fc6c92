#include "controller/values/DisplayState.h"

#include "protocol/CommandLine.h"

#include <cmath>

QString levelText(double level)
{
    // Displays speak in whole levels; those skip the general (and costly) formatting.
    if (std::trunc(level) == level && std::abs(level) < 1e15)
        return QString::number(qint64(level));
    return QString::number(level, 'g', 15);
}

const SettingKnowledge& DisplayState::knowledge(DisplaySetting setting) const
{
    return m_settings[std::size_t(setting)];
}

DisplayState::Standing DisplayState::standing(DisplaySetting setting) const
{
    const SettingKnowledge& known = knowledge(setting);
    if (!known.value)
        return Standing::unknown;
    return m_connection != 0 && known.connection == m_connection ? Standing::live
                                                                 : Standing::lastKnown;
}

std::optional<QString> DisplayState::shown(DisplaySetting setting) const
{
    const SettingKnowledge& known = knowledge(setting);
    return known.wanted ? known.wanted : known.value;
}

std::optional<PowerState> DisplayState::power() const
{
    const auto word = shown(DisplaySetting::power);
    return word ? powerStateFromRaw(*word) : std::nullopt;
}

std::optional<QString> DisplayState::input() const
{
    return shown(DisplaySetting::input);
}

std::optional<double> DisplayState::level(DisplaySetting setting) const
{
    const auto number = shown(setting);
    return number ? readLevel(*number) : std::nullopt;
}

std::optional<bool> DisplayState::toggle(DisplaySetting setting) const
{
    const auto word = shown(setting);
    if (!word)
        return std::nullopt;
    return *word == u"on";
}

std::optional<QString> DisplayState::text(DisplaySetting setting) const
{
    return knowledge(setting).value;
}

std::optional<DisplaySeries> DisplayState::series() const
{
    const auto model = text(DisplaySetting::modelNumber);
    return model ? detectSeries(*model) : std::nullopt;
}

std::optional<SettingKnowledge> DisplayState::newest() const
{
    std::optional<SettingKnowledge> newest;
    for (const SettingKnowledge& known : m_settings) {
        if (known.value && (!newest || known.confirmedAt > newest->confirmedAt))
            newest = known;
    }
    return newest;
}

bool DisplayState::apply(const QString& name, const QString& value, ValueSource source,
                         bool fromQuery, TimePoint now, const QDateTime& when, const QString& line)
{
    const auto setting = settingNamed(name);
    if (!setting)
        return false;
    const SettingKind kind = info(*setting).kind;
    if (fromQuery && kind == SettingKind::level && now < m_levelQueriesIgnoredUntil)
        return false;

    QString told = kind == SettingKind::text ? value : value.toLower();
    if (kind == SettingKind::level) {
        const auto number = readLevel(told);
        if (!number)
            return false;
        told = levelText(*number);
    } else if (kind == SettingKind::toggle) {
        // Anything but "on" switches off, as the display means it.
        told = told == u"on" ? QStringLiteral("on") : QStringLiteral("off");
    }

    if (*setting == DisplaySetting::serialNumber) {
        const auto& known = knowledge(*setting).value;
        if (known && *known != told) {
            // Another display behind the line: what the old one told no longer holds. What
            // this connection told already (the model number comes first) is the new one's.
            touchAll();
            for (SettingKnowledge& other : m_settings) {
                if (other.connection != m_connection || m_connection == 0) {
                    other.value.reset();
                    other.failure.reset();
                }
            }
        }
    }

    SettingKnowledge& known = at(*setting);
    known.value = told;
    known.source = source;
    known.confirmedAt = when;
    known.line = line;
    known.connection = m_connection;
    // The display's answer to our own command is the truth the control waited for.
    if (source == ValueSource::echo)
        known.wanted.reset();
    return true;
}

void DisplayState::commandQueued(DisplaySetting setting, const std::optional<QString>& wanted)
{
    SettingKnowledge& known = at(setting);
    ++known.pending;
    known.failure.reset();
    if (wanted)
        known.wanted = wanted;
}

void DisplayState::commandEnded(DisplaySetting setting, const std::optional<QString>& failure)
{
    SettingKnowledge& known = at(setting);
    known.pending = std::max(0, known.pending - 1);
    if (failure)
        known.failure = failure;
    if (known.pending == 0)
        known.wanted.reset();
}

void DisplayState::dropPending()
{
    touchAll();
    for (SettingKnowledge& known : m_settings) {
        known.pending = 0;
        known.wanted.reset();
    }
}
