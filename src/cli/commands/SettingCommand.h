#pragma once

#include "cli/commands/Command.h"

#include <QString>

// "get NAME" and "set NAME VALUE": once the connection's own queries are answered,
// one query or one display action, then the setting's value as the display gave it.
class SettingCommand final : public Command {
public:
    explicit SettingCommand(Session& session);
    void start() override;

private:
    void act();
    void print();

    Session& m_session;
    QString m_name;
};
