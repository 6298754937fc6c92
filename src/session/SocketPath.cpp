#include "session/SocketPath.h"

#include "line/LineAddress.h"
#include "line/PathBytes.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace SocketPath {

QString folder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) {
        const QString systemd = QStringLiteral("/run/user/%1").arg(::getuid());
        runtime = QFileInfo(systemd).isDir()
                      ? systemd
                      : QDir::tempPath() + QStringLiteral("/bildwart-%1").arg(::getuid());
    }
    return runtime + QStringLiteral("/bildwart");
}

QString forLine(const QString& address)
{
    QString name = address;
    const auto parsed = LineAddress::parse(address);
    if (const auto* line = std::get_if<LineAddress>(&parsed)) {
        name = line->text();
        if (line->isDevice()) {
            const QString node = QFileInfo(line->path()).canonicalFilePath();
            if (!node.isEmpty())
                name = node;
        }
    }
    QString file = QString::fromLatin1(QUrl::toPercentEncoding(name));
    const QString path = folder() + u'/' + file;
    // A socket's path has room for 107 bytes.
    if (encodePath(path).size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        file = QString::fromLatin1(
            QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex());
    return folder() + u'/' + file;
}

std::optional<QString> prepareFolder()
{
    const QString path = folder();
    const QByteArray bytes = encodePath(path);
    // Without a runtime folder of the system's, the one in the temporary directory must be
    // this user's alone: another user could have made it first to catch the sockets.
    const QString parent = QFileInfo(path).path();
    if (parent.startsWith(QDir::tempPath() + QStringLiteral("/bildwart-"))) {
        const QByteArray parentBytes = encodePath(parent);
        ::mkdir(parentBytes.constData(), 0700);
        struct stat owner {};
        if (::lstat(parentBytes.constData(), &owner) != 0 || !S_ISDIR(owner.st_mode) ||
            owner.st_uid != ::getuid() || (owner.st_mode & 077) != 0)
            return QCoreApplication::translate("SocketPath",
                                               "%1 ist kein Ordner nur dieses Benutzers – die "
                                               "Sitzung wird nicht geteilt.")
                .arg(parent);
    }
    if (::mkdir(bytes.constData(), 0700) != 0 && errno != EEXIST)
        return QCoreApplication::translate("SocketPath", "%1 lässt sich nicht anlegen: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status {};
    if (::lstat(bytes.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid())
        return QCoreApplication::translate("SocketPath",
                                           "%1 ist kein Ordner dieses Benutzers – die Sitzung "
                                           "wird nicht geteilt.")
            .arg(path);
    if ((status.st_mode & 077) != 0)
        ::chmod(bytes.constData(), 0700);
    return std::nullopt;
}

} // namespace SocketPath
