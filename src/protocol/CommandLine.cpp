#include "protocol/CommandLine.h"

#include <limits>

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Splits "[sign]digits[.digits]"; false for any other text.
bool splitNumber(QStringView text, bool& negative, QStringView& whole, QStringView& fraction)
{
    negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.sliced(1);
    }
    const qsizetype point = text.indexOf(u'.');
    whole = point < 0 ? text : text.first(point);
    fraction = point < 0 ? QStringView() : text.sliced(point + 1);
    const auto allDigits = [](QStringView part) {
        return std::all_of(part.begin(), part.end(), isDigit);
    };
    if (whole.isEmpty() || !allDigits(whole))
        return false;
    return point < 0 || (!fraction.isEmpty() && allDigits(fraction));
}

} // namespace

std::optional<CommandLine> CommandLine::parse(QStringView text)
{
    text = trimmed(text);
    qsizetype blank = 0;
    while (blank < text.size() && !isBlank(text[blank]))
        ++blank;
    const QStringView verb = text.first(blank);
    const QStringView rest = trimmed(text.sliced(blank));
    CommandLine line;
    if (verb.compare(u"get", Qt::CaseInsensitive) == 0) {
        line.name = rest.toString().toLower();
        if (line.name.isEmpty())
            return std::nullopt;
        return line;
    }
    if (verb.compare(u"set", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const auto op = std::find_if(rest.begin(), rest.end(),
                                 [](QChar c) { return c == u'=' || c == u'+' || c == u'-'; });
    if (op == rest.end())
        return std::nullopt;
    const qsizetype at = op - rest.begin();
    line.verb = Verb::set;
    line.name = trimmed(rest.first(at)).toString().toLower();
    line.op = *op;
    line.value = trimmed(rest.sliced(at + 1)).toString();
    if (line.name.isEmpty())
        return std::nullopt;
    return line;
}

std::optional<QString> CommandLine::settingWritten(QStringView text)
{
    const auto line = parse(text);
    if (!line || line->verb != Verb::set)
        return std::nullopt;
    return line->name;
}

std::optional<double> readLevel(QStringView text)
{
    bool negative = false;
    QStringView whole, fraction;
    if (!splitNumber(text, negative, whole, fraction))
        return std::nullopt;
    // Whole levels, the usual answer, without the general conversion.
    if (fraction.isNull()) {
        if (const auto whole = readWholeLevel(text))
            return double(*whole);
    }
    // Digits only from here on, so the C locale's reading cannot fail or differ.
    const double number = text.toString().toDouble();
    return negative && number == 0 ? 0.0 : number;
}

std::optional<qint64> readWholeLevel(QStringView text)
{
    bool negative = false;
    QStringView whole, fraction;
    if (!splitNumber(text, negative, whole, fraction) || !fraction.isNull())
        return std::nullopt;
    // Accumulated towards the negative side, which holds one more value.
    qint64 value = 0;
    for (const QChar c : whole) {
        if (__builtin_mul_overflow(value, 10, &value) ||
            __builtin_sub_overflow(value, c.unicode() - u'0', &value))
            return std::nullopt;
    }
    if (negative)
        return value;
    if (value == std::numeric_limits<qint64>::min())
        return std::nullopt;
    return -value;
}
