#pragma once

#include <QString>

// How long ago something happened, in short German words: "vor 3 s", "vor 2 min", "vor 1 h",
// "vor 2 Tagen". Negative spans (a clock set back) read as just now.
QString relativeTimeText(qint64 secondsAgo);
