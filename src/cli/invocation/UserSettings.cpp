// Reading the user's stored settings without reading all of the file: the application's
// window keeps its own values in the same file, and a file that has grown large for any
// reason must not make every call of the tool slow. Only the lines of the keys the tool
// needs are taken, and QSettings itself decodes them, from an anonymous memory file, so
// that the stored forms are read exactly as the application wrote them.
#include "cli/invocation/UserSettings.h"

#include "controller/StoreKeys.h"
#include "line/PathBytes.h"
#include "line/UniqueFd.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

const QList<QByteArray>& neededKeys()
{
    static const QList<QByteArray> keys = [] {
        QList<QByteArray> list;
        for (const QString& key :
             {StoreKeys::serialSettings, StoreKeys::lastPortPath, StoreKeys::pollingEnabled,
              StoreKeys::pollingInterval, StoreKeys::displaySeries, StoreKeys::autoReconnect,
              StoreKeys::recentNetworkAddresses})
            list.append(key.toLatin1());
        return list;
    }();
    return keys;
}

QByteArrayView trimmed(QByteArrayView line)
{
    while (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
        line = line.sliced(1);
    while (!line.isEmpty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.chop(1);
    return line;
}

// Whether the line sets one of the needed keys: "key=" or "key =".
bool isNeeded(QByteArrayView line)
{
    const qsizetype equals = line.indexOf('=');
    if (equals <= 0)
        return false;
    const QByteArrayView key = trimmed(line.first(equals));
    return std::any_of(neededKeys().begin(), neededKeys().end(),
                       [&](const QByteArray& needed) { return key == needed; });
}

// The needed lines of the [General] section (or before any section), as a small INI text.
// A line that ends in a backslash goes on in the next one, as QSettings reads it.
QByteArray neededLines(QByteArrayView file)
{
    QByteArray kept = "[General]\n";
    bool inGeneral = true;
    bool continuing = false;
    while (!file.isEmpty()) {
        qsizetype end = file.indexOf('\n');
        if (end < 0)
            end = file.size();
        const QByteArrayView line = file.first(end);
        file = file.sliced(std::min(end + 1, file.size()));
        const QByteArrayView text = trimmed(line);
        if (continuing) {
            kept += line;
            kept += '\n';
            continuing = text.endsWith('\\');
            continue;
        }
        if (text.startsWith('[')) {
            inGeneral = text == "[General]";
            continue;
        }
        if (inGeneral && isNeeded(text)) {
            kept += line;
            kept += '\n';
            continuing = text.endsWith('\\');
        }
    }
    return kept;
}

} // namespace

QString userSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Halvorn/Bildwart.conf");
}

ControllerSettings::Loaded readUserSettings(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    const bool folder = QFileInfo(path).isDir();
    if (folder || !file.open(QIODevice::ReadOnly)) {
        ControllerSettings::Loaded loaded;
        loaded.problems.append(
            QCoreApplication::translate("UserSettings", "Die Einstellungen in %1 sind nicht "
                                                        "lesbar: %2 – es gelten die Vorgaben.")
                .arg(path, folder ? QCoreApplication::translate("UserSettings", "ist ein Ordner")
                                  : file.errorString()));
        return loaded;
    }
    // Mapped, not read: the scan touches each byte once and copies none.
    const qint64 size = file.size();
    const uchar* bytes = size > 0 ? file.map(0, size) : nullptr;
    const QByteArray small =
        bytes ? neededLines(QByteArrayView(bytes, size)) : neededLines(file.readAll());

    const UniqueFd memory(::memfd_create("bildwart-settings", MFD_CLOEXEC));
    if (!memory || ::write(memory.get(), small.constData(), size_t(small.size())) != small.size()) {
        // Without a memory file QSettings reads the whole file: slower, not wrong.
        return ControllerSettings::load(QSettings(path, QSettings::IniFormat));
    }
    return ControllerSettings::load(
        QSettings(QStringLiteral("/proc/self/fd/%1").arg(memory.get()), QSettings::IniFormat));
}
