#include "linetest/TestPattern.h"

#include "protocol/HexBytes.h"

#include <QCoreApplication>
#include <array>

namespace {

struct TestPatternRow {
    TestPattern pattern;
    const char* raw;
    const char* label;
    const char* hint;
};

constexpr std::array<TestPatternRow, 7> rows{{
    {TestPattern::counterLine, "counterLine", QT_TRANSLATE_NOOP("TestPattern", "Zählerzeile"),
     QT_TRANSLATE_NOOP(
         "TestPattern",
         "„Bildwart Test #0001 | 19200 8N1 | 14:03:22“ – zeigt fehlende Zeilen sofort.")},
    {TestPattern::alphabet, "alphabet", QT_TRANSLATE_NOOP("TestPattern", "Alle druckbaren Zeichen"),
     QT_TRANSLATE_NOOP("TestPattern",
                       "0x20 bis 0x7E: Leerzeichen, Ziffern, A–Z, a–z, Sonderzeichen.")},
    {TestPattern::quickFox, "quickFox", QT_TRANSLATE_NOOP("TestPattern", "Pangramm-Satz"),
     QT_TRANSLATE_NOOP("TestPattern", "„The quick brown fox jumps over the lazy dog 0123456789“.")},
    {TestPattern::uPattern, "uPattern", QT_TRANSLATE_NOOP("TestPattern", "„UUUU…“ (0x55)"),
     QT_TRANSLATE_NOOP(
         "TestPattern",
         "0x55 = 01010101 – mit dem Oszilloskop lässt sich daran die Baudrate messen.")},
    {TestPattern::byteRamp, "byteRamp", QT_TRANSLATE_NOOP("TestPattern", "Byte-Rampe 0x00–0xFF"),
     QT_TRANSLATE_NOOP(
         "TestPattern",
         "Alle 256 Werte; in PuTTY als Sonderzeichen sichtbar, besser mit Hex-Ansicht.")},
    {TestPattern::customText, "customText", QT_TRANSLATE_NOOP("TestPattern", "Eigener Text"),
     QT_TRANSLATE_NOOP("TestPattern", "Wird so gesendet, wie eingegeben.")},
    {TestPattern::customHex, "customHex", QT_TRANSLATE_NOOP("TestPattern", "Eigene Hex-Bytes"),
     QT_TRANSLATE_NOOP("TestPattern", "z. B. „48 61 6C 6C 6F 0D 0A“ oder „0x48,0x61“.")},
}};

const TestPatternRow& rowOf(TestPattern pattern)
{
    return rows[static_cast<std::size_t>(pattern)];
}

// 64 bytes of 0x55 give a long enough square wave to read the bit time off a scope.
constexpr qsizetype uPatternLength = 64;

QByteArray byteRange(int first, int last)
{
    QByteArray bytes;
    bytes.reserve(last - first + 1);
    for (int value = first; value <= last; ++value)
        bytes.append(char(value));
    return bytes;
}

QByteArray counterLine(qint64 counter, const SerialSettings& settings, const QDateTime& date)
{
    // printf keeps every digit beyond the fourth and puts a minus sign before the padding.
    const QString number = QString::asprintf("%04lld", static_cast<long long>(counter));
    const QString line = QStringLiteral("Bildwart Test #") + number + QStringLiteral(" | ") +
                         QString::number(settings.baudRate) + u' ' + settings.frameText() +
                         QStringLiteral(" | ") +
                         date.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    return line.toUtf8();
}

// The bytes before any line ending.
QByteArray patternBody(TestPattern pattern, qint64 counter, const SerialSettings& settings,
                       const QString& customText, const QString& customHex, const QDateTime& date)
{
    switch (pattern) {
    case TestPattern::counterLine:
        return counterLine(counter, settings, date);
    case TestPattern::alphabet:
        return byteRange(0x20, 0x7E);
    case TestPattern::quickFox:
        return QByteArrayLiteral("The quick brown fox jumps over the lazy dog 0123456789");
    case TestPattern::uPattern:
        return QByteArray(uPatternLength, char(0x55));
    case TestPattern::byteRamp:
        return byteRange(0x00, 0xFF);
    case TestPattern::customText:
        return customText.toUtf8();
    case TestPattern::customHex:
        return parseHexBytes(customHex).value_or(QByteArray());
    }
    return {};
}

// Raw bytes go out exactly as listed; an appended ending would falsify them.
bool takesLineEnding(TestPattern pattern)
{
    return pattern != TestPattern::byteRamp && pattern != TestPattern::customHex;
}

} // namespace

const QList<TestPattern>& allTestPatterns()
{
    static const QList<TestPattern> all = [] {
        QList<TestPattern> list;
        for (const auto& row : rows)
            list.append(row.pattern);
        return list;
    }();
    return all;
}

QString rawValue(TestPattern pattern)
{
    return QString::fromLatin1(rowOf(pattern).raw);
}

std::optional<TestPattern> testPatternFromRaw(const QString& raw)
{
    for (const auto& row : rows) {
        if (raw == QLatin1String(row.raw))
            return row.pattern;
    }
    return std::nullopt;
}

QString label(TestPattern pattern)
{
    return QCoreApplication::translate("TestPattern", rowOf(pattern).label);
}

QString hint(TestPattern pattern)
{
    return QCoreApplication::translate("TestPattern", rowOf(pattern).hint);
}

QByteArray testLineEnding(SerialSettings::LineEnding ending)
{
    switch (ending) {
    case SerialSettings::LineEnding::lf:
        return QByteArrayLiteral("\n");
    case SerialSettings::LineEnding::cr:
    case SerialSettings::LineEnding::crlf:
        break;
    }
    return QByteArrayLiteral("\r\n");
}

QByteArray testPatternBytes(TestPattern pattern, qint64 counter, const SerialSettings& settings,
                            const QString& customText, const QString& customHex,
                            const QDateTime& date)
{
    QByteArray bytes = patternBody(pattern, counter, settings, customText, customHex, date);
    if (takesLineEnding(pattern))
        bytes.append(testLineEnding(settings.lineEnding));
    return bytes;
}
