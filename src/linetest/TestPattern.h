#pragma once

#include "line/SerialSettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// What the test output sends to a terminal program on the far end of the line.
enum class TestPattern {
    counterLine,
    alphabet,
    quickFox,
    uPattern,
    byteRamp,
    customText,
    customHex
};

// Cases in picker order.
const QList<TestPattern>& allTestPatterns();
// The case name; also the persisted and coded form.
QString rawValue(TestPattern pattern);
// Exact, case-sensitive match on the case name.
std::optional<TestPattern> testPatternFromRaw(const QString& raw);
QString label(TestPattern pattern);
// One line under the pattern picker that says what the pattern is good for.
QString hint(TestPattern pattern);

// The ending appended to test output. A lone CR is widened to CR LF so that a
// terminal program on the other side starts a new line for every packet.
QByteArray testLineEnding(SerialSettings::LineEnding ending);

// The bytes of one test packet. Pure: the counter line prints `counter`, the line
// settings and the local time of `date`. Invalid custom hex gives no bytes at all.
QByteArray testPatternBytes(TestPattern pattern, qint64 counter, const SerialSettings& settings,
                            const QString& customText, const QString& customHex,
                            const QDateTime& date);
