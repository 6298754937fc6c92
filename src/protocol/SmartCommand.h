#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// One command line as written to the display, without its line ending.
struct SmartCommand {
    QString text;

    bool operator==(const SmartCommand&) const = default;

    static QString query(const QString& name) { return QStringLiteral("get ") + name; }
    static QString set(const QString& name, const QString& value)
    {
        return QStringLiteral("set ") + name + u'=' + value;
    }
    static QString onOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }

    // "set volume+5" / "set volume-5"; n = 0 gives "set volume+0".
    static QString relative(const QString& name, qint64 n);

    // The setting a "set" command writes ("set VOLUME = 7" -> "volume"); the caller
    // has already checked that the text starts with "set ".
    static std::optional<QString> settingName(const QString& text);

    // Setting names of the fixed query lists, in sending order.
    static const QStringList& cyclicPoll();
    static const QStringList& statusQueries();
    static const QStringList& infoQueries();
};
