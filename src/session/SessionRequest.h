#pragma once

#include "controller/SetAction.h"

#include <QByteArray>
#include <QJsonValue>
#include <QStringList>
#include <optional>
#include <variant>

// One request of a guest of the session: a JSON object on a line. Guests are untrusted:
// whatever does not parse is refused here, before anything reaches the line.
//   {"id":1,"send":["get volume","set mute=on"]}   command lines, each after the one before
//   {"id":2,"get":"volume"}                          one setting, asked of the display
//   {"id":3,"set":"volume","value":"+5"}             one setting, as "bildwartctl set" takes it
//   {"id":4,"status":true}                           what the session knows now
//   {"id":5,"raw":"55AA"}                            bytes as they are, only in raw mode
//   {"id":6,"watch":true}                            traffic and value changes as events
struct SessionRequest {
    enum class Kind { send, get, set, status, raw, watch };

    // The longest request line, and the most command lines in one request.
    static constexpr qsizetype maxLength = 64 * 1024;
    static constexpr qsizetype maxCommands = 1000;
    static constexpr qsizetype maxCommandLength = 256;

    Kind kind = Kind::status;
    QJsonValue id;                   // given back with the reply; null when the request had none
    QStringList lines;               // send
    QString name;                    // get, set
    std::optional<SetAction> action; // set
    QByteArray bytes;                // raw

    struct Refusal {
        QJsonValue id; // when it could be read
        QString text;  // German
    };
    static std::variant<SessionRequest, Refusal> parse(QByteArrayView line);
};
