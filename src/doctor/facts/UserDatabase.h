#pragma once

#include <QList>
#include <QString>

// Who this program runs as, and what the next login would give.
struct UserCredentials {
    uint userId = 0;
    QString userName;
    // The groups this process has now: its primary group and the supplementary ones,
    // as they were when the session began.
    QList<uint> sessionGroups;
    // The user's groups in the group database: what a new login gets. Differs from
    // the session's after "usermod -aG" until the user logs in again.
    QList<uint> databaseGroups;

    bool operator==(const UserCredentials&) const = default;
};

// The user and group database as the doctor needs it. The system's in the program;
// tests give their own, so that nothing depends on this machine's users and groups.
class UserDatabase {
public:
    virtual ~UserDatabase() = default;
    virtual UserCredentials currentUser() const = 0;
    // The group's name, or empty when the database does not know the id.
    virtual QString groupName(uint groupId) const = 0;
};

// This process's credentials and the system's databases (passwd, group, NSS).
class SystemUserDatabase final : public UserDatabase {
public:
    UserCredentials currentUser() const override;
    QString groupName(uint groupId) const override;
};
