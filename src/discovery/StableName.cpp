// Reads links with readlink() one step at a time rather than realpath(), so that a
// link into a mocked /dev (umockdev) resolves the same way as on a real system.
#include "discovery/StableName.h"

#include "line/PathBytes.h"

#include <QDir>
#include <QFileInfo>
#include <limits.h>
#include <optional>
#include <unistd.h>

namespace {

const QString byIdFolder = QStringLiteral("/dev/serial/by-id/");
const QString byPathFolder = QStringLiteral("/dev/serial/by-path/");
// More hops than udev ever makes; a loop of links ends here.
constexpr int maxHops = 8;

std::optional<QString> linkTarget(const QString& path)
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(encodePath(path).constData(), buffer, sizeof buffer);
    if (length <= 0 || length == ssize_t(sizeof buffer))
        return std::nullopt;
    const QString target = decodePath(QByteArray(buffer, length));
    if (QDir::isAbsolutePath(target))
        return QDir::cleanPath(target);
    return QDir::cleanPath(QFileInfo(path).path() + u'/' + target);
}

} // namespace

bool StableName::isById(const QString& link)
{
    return link.startsWith(byIdFolder);
}

bool StableName::isByPath(const QString& link)
{
    return link.startsWith(byPathFolder);
}

bool StableName::leadsTo(const QString& link, const QString& node)
{
    // The node itself may be a link too (a test's device tree makes it one).
    return hops(link).indexOf(node) > 0;
}

QStringList StableName::hops(const QString& path)
{
    QStringList hops{path};
    for (int hop = 0; hop < maxHops; ++hop) {
        const std::optional<QString> next = linkTarget(hops.last());
        if (!next)
            break;
        hops.append(*next);
    }
    return hops;
}

StableName StableName::choose(const QString& node, const QStringList& links,
                              const QSet<QString>& claimedElsewhere)
{
    StableName name{node, {}};
    QString byPath;
    for (const QString& link : links) {
        if (isById(link)) {
            const bool ours = leadsTo(link, node);
            // Another tty lists it too, or it is on disk and leads to another node: it
            // is (or after the next replug may be) the other adapter's.
            const bool shared =
                claimedElsewhere.contains(link) || (!ours && QFileInfo(link).isSymLink());
            if (shared && name.sharedById.isEmpty())
                name.sharedById = link;
            if (ours && !shared && name.path == node)
                name.path = link;
        } else if (isByPath(link) && byPath.isEmpty() && leadsTo(link, node)) {
            byPath = link;
        }
    }
    if (name.path == node && !byPath.isEmpty())
        name.path = byPath;
    return name;
}
