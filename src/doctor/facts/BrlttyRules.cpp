#include "doctor/facts/BrlttyRules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// udev's rule folders, the ones that win first.
const char* const ruleFolders[] = {
    "etc/udev/rules.d",
    "run/udev/rules.d",
    "usr/lib/udev/rules.d",
    "lib/udev/rules.d",
};

bool switchedOff(const QFileInfo& file)
{
    return (file.isSymLink() && file.symLinkTarget() == QLatin1String("/dev/null")) ||
           file.size() == 0;
}

} // namespace

BrlttyRules::BrlttyRules(QString root)
    : m_root(std::move(root))
{
}

QString BrlttyRules::ruleClaiming(int vendorID, int productID) const
{
    QSet<QString> seen;
    for (const char* folder : ruleFolders) {
        const QDir dir(QDir(m_root).filePath(QLatin1String(folder)));
        const QFileInfoList files = dir.entryInfoList({QStringLiteral("*brltty*.rules")},
                                                      QDir::Files | QDir::System, QDir::Name);
        for (const QFileInfo& file : files) {
            // The first folder's file of a name replaces the others (with a merged /usr,
            // /lib is /usr/lib: the same files a second time).
            if (seen.contains(file.fileName()))
                continue;
            seen.insert(file.fileName());
            if (switchedOff(file))
                continue;
            QFile rules(file.filePath());
            if (rules.open(QIODevice::ReadOnly) &&
                namesAdapter(rules.readAll(), vendorID, productID))
                return QStringLiteral("/") + QLatin1String(folder) + u'/' + file.fileName();
        }
    }
    return {};
}

bool BrlttyRules::namesAdapter(const QByteArray& rules, int vendorID, int productID)
{
    const QByteArray product = "ENV{PRODUCT}==\"" + QByteArray::number(vendorID, 16) + '/' +
                               QByteArray::number(productID, 16) + '/';
    const QByteArray vendorAttribute =
        "ATTRS{idVendor}==\"" + QByteArray::number(vendorID, 16).rightJustified(4, '0') + '"';
    const QByteArray productAttribute =
        "ATTRS{idProduct}==\"" + QByteArray::number(productID, 16).rightJustified(4, '0') + '"';
    for (const QByteArray& rawLine : rules.split('\n')) {
        const QByteArray line = rawLine.trimmed().toLower();
        if (line.startsWith('#'))
            continue;
        if (line.contains(product.toLower()) ||
            (line.contains(vendorAttribute.toLower()) && line.contains(productAttribute.toLower())))
            return true;
    }
    return false;
}
