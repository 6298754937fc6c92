#pragma once

#include "doctor/facts/UserDatabase.h"

#include <QHash>

// A user and group database of the test's making, not this machine's.
class FakeUsers final : public UserDatabase {
public:
    UserCredentials user;
    QHash<uint, QString> groups;

    UserCredentials currentUser() const override { return user; }
    QString groupName(uint groupId) const override { return groups.value(groupId); }
};
