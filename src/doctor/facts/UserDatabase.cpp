// getgroups() for the session, getgrouplist() for the database; the reentrant lookups,
// since the doctor may run on a worker thread.
#include "doctor/facts/UserDatabase.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

// Buffer for the reentrant lookups; grown when an entry does not fit.
constexpr size_t initialBuffer = 1024;
constexpr size_t maxBuffer = 1 << 20;

QList<uint> sessionGroups()
{
    QList<uint> groups{uint(::getegid())};
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return groups;
    std::vector<gid_t> ids(static_cast<size_t>(count));
    const int got = ::getgroups(count, ids.data());
    for (int i = 0; i < got; ++i) {
        if (!groups.contains(uint(ids[size_t(i)])))
            groups.append(uint(ids[size_t(i)]));
    }
    return groups;
}

QList<uint> databaseGroups(const QByteArray& user, gid_t primary)
{
    int count = 32;
    std::vector<gid_t> ids(static_cast<size_t>(count));
    if (::getgrouplist(user.constData(), primary, ids.data(), &count) < 0) {
        ids.resize(size_t(count)); // count now says how many there are
        if (::getgrouplist(user.constData(), primary, ids.data(), &count) < 0)
            return {uint(primary)};
    }
    QList<uint> groups;
    for (int i = 0; i < count; ++i)
        groups.append(uint(ids[size_t(i)]));
    return groups;
}

} // namespace

UserCredentials SystemUserDatabase::currentUser() const
{
    UserCredentials user;
    user.userId = uint(::geteuid());
    user.sessionGroups = sessionGroups();
    passwd entry{};
    passwd* found = nullptr;
    for (size_t size = initialBuffer; size <= maxBuffer; size *= 2) {
        std::vector<char> buffer(size);
        const int error = ::getpwuid_r(::geteuid(), &entry, buffer.data(), size, &found);
        if (error == ERANGE)
            continue;
        if (error == 0 && found) {
            user.userName = QString::fromLocal8Bit(found->pw_name);
            user.databaseGroups = databaseGroups(QByteArray(found->pw_name), found->pw_gid);
        }
        break;
    }
    if (user.databaseGroups.isEmpty())
        user.databaseGroups = user.sessionGroups; // unknown user: nothing else to go by
    return user;
}

QString SystemUserDatabase::groupName(uint groupId) const
{
    group entry{};
    group* found = nullptr;
    for (size_t size = initialBuffer; size <= maxBuffer; size *= 2) {
        std::vector<char> buffer(size);
        const int error = ::getgrgid_r(gid_t(groupId), &entry, buffer.data(), size, &found);
        if (error == ERANGE)
            continue;
        return error == 0 && found ? QString::fromLocal8Bit(found->gr_name) : QString();
    }
    return {};
}
