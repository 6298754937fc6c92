#include "cli/DeviceLink.h"

#include "serial/SerialPortError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <unistd.h>

DeviceLink::~DeviceLink()
{
    if (m_path.isEmpty())
        return;
    // Someone may have put their own file there in the meantime.
    if (QFileInfo(m_path).symLinkTarget() == QFileInfo(m_target).absoluteFilePath())
        QFile::remove(m_path);
}

std::optional<QString> DeviceLink::create(const QString& path, const QString& target)
{
    // symlink() and not QFile::link(): only it says why it failed.
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) !=
        0) {
        const int error = errno;
        if (error == EEXIST)
            return QStringLiteral("%1 gibt es schon \u2013 der Link wird nicht \u00FCberschrieben.")
                .arg(path);
        return QStringLiteral("Link %1 l\u00E4sst sich nicht anlegen: %2")
            .arg(path, systemErrorText(error));
    }
    m_path = path;
    m_target = target;
    return std::nullopt;
}
