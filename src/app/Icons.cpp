#include "app/Icons.h"

#include <QDir>
#include <QHash>
#include <QPainter>

namespace {

// The one table from the symbol names used by the views to Adwaita's symbolic icons. Where
// Adwaita has no matching picture the nearest in meaning is taken (noted at the row).
const QHash<QString, QString>& themeNames()
{
    static const QHash<QString, QString> table{
        // Connection and ports
        {QStringLiteral("bolt.horizontal.circle.fill"), QStringLiteral("insert-link-symbolic")},
        {QStringLiteral("bolt.horizontal.circle"),
         QStringLiteral("network-wired-disconnected-symbolic")},
        {QStringLiteral("cable.connector"), QStringLiteral("media-removable-symbolic")},
        {QStringLiteral("cable.connector.horizontal"), QStringLiteral("network-wired-symbolic")},
        {QStringLiteral("cable.connector.slash"),
         QStringLiteral("network-wired-disconnected-symbolic")},
        {QStringLiteral("arrow.triangle.2.circlepath"),
         QStringLiteral("emblem-synchronizing-symbolic")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh-symbolic")},
        {QStringLiteral("hourglass"), QStringLiteral("appointment-soon-symbolic")}, // a clock
        {QStringLiteral("xmark.circle"), QStringLiteral("process-stop-symbolic")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("dialog-warning-symbolic")},
        {QStringLiteral("exclamationmark.triangle.fill"),
         QStringLiteral("dialog-warning-symbolic")},
        // Window and tabs
        {QStringLiteral("terminal"), QStringLiteral("utilities-terminal-symbolic")},
        {QStringLiteral("gearshape"), QStringLiteral("emblem-system-symbolic")},
        {QStringLiteral("waveform.path"), QStringLiteral("network-transmit-symbolic")},
        {QStringLiteral("paperplane.fill"), QStringLiteral("mail-send-symbolic")},
        {QStringLiteral("stop.fill"), QStringLiteral("media-playback-stop-symbolic")},
        {QStringLiteral("play.fill"), QStringLiteral("media-playback-start-symbolic")},
        // Power states
        {QStringLiteral("power.circle.fill"), QStringLiteral("system-shutdown-symbolic")},
        {QStringLiteral("power"), QStringLiteral("system-shutdown-symbolic")},
        {QStringLiteral("display"), QStringLiteral("video-display-symbolic")},
        {QStringLiteral("moon.fill"), QStringLiteral("weather-clear-night-symbolic")},
        {QStringLiteral("leaf.fill"), QStringLiteral("power-profile-power-saver-symbolic")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("dialog-question-symbolic")},
        // Inputs
        {QStringLiteral("rectangle.connected.to.line.below"),
         QStringLiteral("video-single-display-symbolic")},
        {QStringLiteral("cpu"), QStringLiteral("computer-symbolic")}, // the slot-in PC
        {QStringLiteral("square.grid.3x3.fill"), QStringLiteral("view-app-grid-symbolic")},
        {QStringLiteral("rectangle.on.rectangle.angled"),
         QStringLiteral("video-joined-displays-symbolic")},
        // Sound and picture
        {QStringLiteral("speaker.fill"), QStringLiteral("audio-volume-low-symbolic")},
        {QStringLiteral("speaker.wave.2.fill"), QStringLiteral("audio-volume-high-symbolic")},
        {QStringLiteral("speaker.wave.3"), QStringLiteral("audio-volume-high-symbolic")},
        {QStringLiteral("speaker.wave.3.fill"), QStringLiteral("audio-volume-high-symbolic")},
        {QStringLiteral("speaker.slash"), QStringLiteral("audio-volume-muted-symbolic")},
        {QStringLiteral("speaker.slash.fill"), QStringLiteral("audio-volume-muted-symbolic")},
        {QStringLiteral("mic.slash"), QStringLiteral("microphone-disabled-symbolic")},
        {QStringLiteral("sun.min"), QStringLiteral("display-brightness-symbolic")},
        {QStringLiteral("sun.max"), QStringLiteral("weather-clear-symbolic")},
        {QStringLiteral("sun.max.fill"), QStringLiteral("weather-clear-symbolic")},
        {QStringLiteral("pause.rectangle"), QStringLiteral("media-playback-pause-symbolic")},
        {QStringLiteral("rectangle.inset.filled"), QStringLiteral("view-conceal-symbolic")},
        {QStringLiteral("minus"), QStringLiteral("list-remove-symbolic")},
        {QStringLiteral("plus"), QStringLiteral("list-add-symbolic")},
        // Cards and diagnostics
        {QStringLiteral("antenna.radiowaves.left.and.right"),
         QStringLiteral("network-transmit-receive-symbolic")},
        {QStringLiteral("wrench.and.screwdriver"),
         QStringLiteral("applications-engineering-symbolic")},
        {QStringLiteral("exclamationmark.arrow.circlepath"),
         QStringLiteral("software-update-urgent-symbolic")},
        {QStringLiteral("point.forward.to.point.capsulepath"),
         QStringLiteral("media-playlist-repeat-symbolic")}, // the bridge plug's loop
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok-symbolic")},
        {QStringLiteral("circle.dashed"), QStringLiteral("content-loading-symbolic")},
        {QStringLiteral("xmark.octagon.fill"), QStringLiteral("dialog-error-symbolic")},
        // Common terminal actions
        {QStringLiteral("trash"), QStringLiteral("user-trash-symbolic")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("document-save-as-symbolic")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("document-save-symbolic")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy-symbolic")},
        {QStringLiteral("arrow.down.to.line"), QStringLiteral("go-bottom-symbolic")},
        {QStringLiteral("paperplane"), QStringLiteral("mail-send-symbolic")},
        {QStringLiteral("info.circle"), QStringLiteral("dialog-information-symbolic")},
        {QStringLiteral("xmark"), QStringLiteral("window-close-symbolic")},
    };
    return table;
}

} // namespace

QIcon symbolIcon(const QString& symbolName)
{
    const auto it = themeNames().constFind(symbolName);
    if (it == themeNames().constEnd()) {
        return {};
    }
    return QIcon::fromTheme(*it);
}

QPixmap symbolPixmap(const QString& symbolName, int size, const QColor& color)
{
    const QIcon icon = symbolIcon(symbolName);
    if (icon.isNull()) {
        return {};
    }
    QPixmap pixmap = icon.pixmap(size, size);
    if (pixmap.isNull()) {
        return pixmap;
    }
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

void installIconSearchPath()
{
    const QString systemIcons = QStringLiteral("/usr/share/icons");
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(systemIcons) && QDir(systemIcons).exists()) {
        paths.append(systemIcons);
        QIcon::setThemeSearchPaths(paths);
    }
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor")) {
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    }
}
