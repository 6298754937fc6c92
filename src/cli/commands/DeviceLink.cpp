#include "cli/commands/DeviceLink.h"

#include "doctor/facts/ProcessTable.h"
#include "line/LineError.h"
#include "line/PathBytes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The programs whose simulator holds its pseudo-terminal open for as long as it runs.
bool isSimulatorProgram(const QString& command)
{
    return command == u"bildwartctl" || command == u"bildwart";
}

QString systemFailure(const QString& path, int error)
{
    return QCoreApplication::translate("DeviceLink", "Link %1 lässt sich nicht anlegen: %2")
        .arg(path, systemErrorText(error));
}

// Why an existing file at `path` must stay, or nothing when it is a leftover link.
std::optional<QString> reasonToKeep(const QString& path)
{
    const QFileInfo existing(path);
    if (!existing.isSymLink())
        return QCoreApplication::translate("DeviceLink",
                                           "%1 gibt es schon und ist kein Link – er wird nicht "
                                           "überschrieben.")
            .arg(path);
    const QString target = existing.symLinkTarget();
    if (!QFileInfo::exists(target))
        return std::nullopt; // its pseudo-terminal is gone
    for (const ProcessHolder& holder : ProcessTable().holdersOf(target)) {
        if (isSimulatorProgram(holder.command) && holder.pid != ::getpid())
            return QCoreApplication::translate(
                       "DeviceLink", "%1 zeigt auf %2, das ein laufender Simulator benutzt (%3, "
                                     "PID %4) – der Link wird nicht ersetzt.")
                .arg(path, target, holder.command)
                .arg(holder.pid);
    }
    return std::nullopt; // a pseudo-terminal that no simulator of ours holds
}

} // namespace

DeviceLink::~DeviceLink()
{
    if (m_path.isEmpty())
        return;
    // Someone may have put their own file there in the meantime.
    if (QFileInfo(m_path).symLinkTarget() == QFileInfo(m_target).absoluteFilePath())
        ::unlink(encodePath(m_path).constData());
}

std::optional<QString> DeviceLink::create(const QString& path, const QString& target)
{
    const QByteArray link = encodePath(path);
    const QByteArray pointee = encodePath(target);
    struct stat status {};
    if (::lstat(link.constData(), &status) == 0) {
        if (auto reason = reasonToKeep(path))
            return reason;
        // Made beside it and renamed over it, so the name never points nowhere.
        const QByteArray fresh = link + ".new";
        ::unlink(fresh.constData());
        if (::symlink(pointee.constData(), fresh.constData()) != 0 ||
            ::rename(fresh.constData(), link.constData()) != 0) {
            const int error = errno;
            ::unlink(fresh.constData());
            return systemFailure(path, error);
        }
    } else if (::symlink(pointee.constData(), link.constData()) != 0) {
        return systemFailure(path, errno);
    }
    m_path = path;
    m_target = target;
    return std::nullopt;
}
