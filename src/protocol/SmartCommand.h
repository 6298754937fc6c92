#pragma once

#include "protocol/DisplaySetting.h"

#include <QList>
#include <QString>
#include <optional>

// One command line as written to the display, without its line ending.
struct SmartCommand {
    QString text;
    // Sent by the periodic poll. The terminal can hide these and their replies; the log
    // keeps them.
    bool poll = false;
    // Given by whoever queues it, to know the command's result when it comes; 0 for none.
    quint64 ticket = 0;
    // Who asked for it, when not this program's own window or run: a guest of the
    // session ("bildwartctl, PID 4242"). Shown with the command in the log.
    QString origin{};

    bool operator==(const SmartCommand&) const = default;

    // "get volume"; any name, for settings the display knows and this program does not.
    static QString query(const QString& name) { return QStringLiteral("get ") + name; }
    static QString query(DisplaySetting setting) { return query(::settingName(setting)); }
    static QString set(DisplaySetting setting, const QString& value)
    {
        return QStringLiteral("set ") + ::settingName(setting) + u'=' + value;
    }
    static QString onOff(bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); }
    // The display accepts the reset only together with its own serial number.
    static QString factoryReset(const QString& serialNumber)
    {
        return QStringLiteral("set ") + factoryResetName() + u'=' + serialNumber;
    }
    static QString help() { return QStringLiteral("get help"); }

    // "set volume+5" / "set volume-5"; n = 0 gives "set volume+0".
    static QString relative(DisplaySetting setting, qint64 n);

    // The fixed query lists, in sending order.
    static QList<DisplaySetting> cyclicPoll();
    static QList<DisplaySetting> statusQueries();
    static QList<DisplaySetting> infoQueries();
};
