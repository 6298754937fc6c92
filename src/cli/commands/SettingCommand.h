#pragma once

#include "cli/commands/Command.h"

#include <QMetaObject>
#include <QString>
#include <optional>

// "get NAME" and "set NAME VALUE": once the connection's own queries are answered,
// one query or one display action, then the setting's value as the display gave it.
class SettingCommand final : public Command {
public:
    explicit SettingCommand(Session& session);
    ~SettingCommand() override;
    void start() override;

private:
    void act();
    void print();

    Session& m_session;
    QString m_name;
    quint64 m_query = 0;             // the ticket of "get NAME"
    std::optional<QString> m_answer; // what the display answered to it
    std::optional<QString> m_wanted; // the value "set" asks for, as the display writes it
    QMetaObject::Connection m_listening;
};
