#include "simulator/SimulatedDisplay.h"

#include "protocol/CommandLine.h"
#include "protocol/DisplaySetting.h"
#include "protocol/PowerState.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QByteArray prompt = QByteArrayLiteral("\r\n>");
const QByteArray invalidCommand = QByteArrayLiteral("\r\ninvalid cmd\r\n>");
const QByteArray invalidValue = QByteArrayLiteral("\r\ninvalid val\r\n>");

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

// current + operand or current - operand, within the level's range. A result outside
// 64 bits lies beyond either end of that range, on the side the operand pushes towards.
qint64 adjustedLevel(const LevelRange& range, qint64 current, QChar operation, qint64 operand)
{
    qint64 result = operand;
    if (operation != u'=') {
        const bool adding = operation == u'+';
        const bool overflow = adding ? __builtin_add_overflow(current, operand, &result)
                                     : __builtin_sub_overflow(current, operand, &result);
        if (overflow)
            return (adding == (operand > 0)) ? range.maximum : range.minimum;
    }
    return std::clamp<qint64>(result, range.minimum, range.maximum);
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
    if (line.isEmpty())
        return prompt;
    const auto command = CommandLine::parse(line);
    if (!command)
        return invalidCommand;
    if (command->verb == CommandLine::Verb::get) {
        if (command->name == QStringLiteral("help"))
            return helpAnswer();
        const auto found = m_state.constFind(command->name);
        if (found == m_state.constEnd())
            return invalidCommand;
        return valueAnswer(command->name, *found);
    }
    return handleSet(*command);
}

QByteArray SimulatedDisplay::handleSet(const CommandLine& command)
{
    const auto setting = settingNamed(command.name);
    if (!setting || !info(*setting).writable())
        return invalidCommand;
    const auto stored = m_state.find(command.name);
    // The display takes the value without its blanks.
    QString value = command.value.toLower().remove(u' ');

    const SettingInfo& row = info(*setting);
    if (row.kind == SettingKind::level) {
        const auto operand = readWholeLevel(value);
        if (!operand)
            return invalidValue;
        const qint64 current = readWholeLevel(*stored).value_or(0);
        value = QString::number(adjustedLevel(row.range, current, command.op, *operand));
    } else if (row.kind == SettingKind::powerState) {
        // Only a level looks at the operator; "set powerstate+standby" sets standby.
        const QList<PowerState> offered = availablePowerStates(m_series);
        const bool known = std::any_of(offered.begin(), offered.end(), [&value](PowerState state) {
            return rawValue(state) == value;
        });
        if (!known)
            return invalidValue;
    }
    *stored = value;
    return valueAnswer(command.name, value);
}

void SimulatedDisplay::setSerialNumber(const QString& serial)
{
    m_state.insert(settingName(DisplaySetting::serialNumber), serial);
}
