#include "simulator/SimulatedDisplay.h"

#include "protocol/DisplaySetting.h"
#include "protocol/PowerState.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QByteArray prompt = QByteArrayLiteral("\r\n>");
const QByteArray invalidCommand = QByteArrayLiteral("\r\ninvalid cmd\r\n>");
const QByteArray invalidValue = QByteArrayLiteral("\r\ninvalid val\r\n>");

constexpr qint64 minimumLevel = 0;
constexpr qint64 maximumLevel = 100;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text.toString();
}

// A display's help is long; the simulator names the settings of the periodic poll.
QByteArray helpAnswer()
{
    QStringList names;
    for (const SettingInfo& row : displaySettings()) {
        if (row.polled)
            names.append(row.name);
    }
    return QByteArrayLiteral("\r\nget/set ") + names.join(u' ').toUtf8() +
           QByteArrayLiteral(" ...\r\n>");
}

QString modelNumber(DisplaySeries series)
{
    return series == DisplaySeries::qx ? QStringLiteral("SBID-QX286")
                                       : QStringLiteral("SBID-RX086");
}

QByteArray valueAnswer(const QString& name, const QString& value)
{
    return QByteArrayLiteral("\r\n") + (name + u'=' + value).toUtf8() + QByteArrayLiteral("\r\n>");
}

// An optional sign, then ASCII digits, within the signed 64-bit range.
std::optional<qint64> parseDecimal(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // Accumulated towards the negative side, which holds one more value.
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c.unicode() - u'0';
        if (__builtin_mul_overflow(value, 10, &value) ||
            __builtin_sub_overflow(value, digit, &value))
            return std::nullopt;
    }
    if (negative)
        return value;
    if (value == std::numeric_limits<qint64>::min())
        return std::nullopt;
    return -value;
}

// current + operand or current - operand, limited to the level range. A result
// outside 64 bits lies beyond either end of that range, on the side the operand
// pushes towards.
qint64 adjustedLevel(qint64 current, QChar operation, qint64 operand)
{
    qint64 result = operand;
    if (operation != u'=') {
        const bool adding = operation == u'+';
        const bool overflow = adding ? __builtin_add_overflow(current, operand, &result)
                                     : __builtin_sub_overflow(current, operand, &result);
        if (overflow)
            return (adding == (operand > 0)) ? maximumLevel : minimumLevel;
    }
    return std::clamp(result, minimumLevel, maximumLevel);
}

} // namespace

SimulatedDisplay::SimulatedDisplay(DisplaySeries series)
    : m_series(series)
{
    for (const SettingInfo& row : displaySettings())
        m_state.insert(row.name, row.simulatedValue);
    m_state.insert(settingName(DisplaySetting::modelNumber), modelNumber(series));
}

QList<QByteArray> SimulatedDisplay::receive(QByteArrayView bytes)
{
    QList<QByteArray> answers;
    const auto endLine = [&] {
        answers.append(handleLine(trimmedBlanks(m_line)));
        m_line.clear();
    };
    for (const char raw : bytes) {
        const auto byte = static_cast<unsigned char>(raw);
        if (byte == '\r' || byte == '\n') {
            endLine();
        } else if (byte >= 32) {
            m_line.append(QChar(byte));
            if (m_line.size() >= maxLineLength)
                endLine();
        }
    }
    return answers;
}

QByteArray SimulatedDisplay::handleLine(const QString& line)
{
    // One pass from the left: three spaces become two.
    const QString command = line.toLower().replace(QStringLiteral("  "), QStringLiteral(" "));
    if (command.isEmpty())
        return prompt;
    if (command.startsWith(QStringLiteral("get "))) {
        const QString name = trimmedBlanks(QStringView(command).sliced(4));
        if (name == QStringLiteral("help"))
            return helpAnswer();
        const auto found = m_state.constFind(name);
        if (found == m_state.constEnd())
            return invalidCommand;
        return valueAnswer(name, *found);
    }
    if (!command.startsWith(QStringLiteral("set ")))
        return invalidCommand;
    return handleSet(command.sliced(4).remove(u' '));
}

QByteArray SimulatedDisplay::handleSet(const QString& command)
{
    const auto found = std::find_if(command.begin(), command.end(),
                                    [](QChar c) { return c == u'=' || c == u'+' || c == u'-'; });
    if (found == command.end())
        return invalidCommand;
    const qsizetype operatorAt = found - command.begin();
    const QString name = command.first(operatorAt);
    const QChar operation = command.at(operatorAt);
    QString value = command.sliced(operatorAt + 1);

    const auto setting = settingNamed(name);
    if (!setting || !info(*setting).writable())
        return invalidCommand;
    const auto stored = m_state.find(name);

    const SettingKind kind = info(*setting).kind;
    if (kind == SettingKind::level) {
        const auto operand = parseDecimal(value);
        if (!operand)
            return invalidValue;
        const qint64 current = parseDecimal(*stored).value_or(0);
        value = QString::number(adjustedLevel(current, operation, *operand));
    } else if (kind == SettingKind::powerState) {
        const QList<PowerState> offered = availablePowerStates(m_series);
        const bool known = std::any_of(offered.begin(), offered.end(), [&value](PowerState state) {
            return rawValue(state) == value;
        });
        if (!known)
            return invalidValue;
    }
    *stored = value;
    return valueAnswer(name, value);
}
