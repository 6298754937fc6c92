#include "app/style/Icons.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <optional>

namespace {

// The one table from the views' symbol names to pictures: Adwaita's symbolic icons by name, or a
// picture shipped in the resources (":/symbols/…") where Adwaita has none that means the same.
const QHash<QString, QString>& pictures()
{
    static const QHash<QString, QString> table{
        // Connection and ports
        {QStringLiteral("bolt.horizontal.circle.fill"), QStringLiteral(":/symbols/connect.svg")},
        {QStringLiteral("bolt.horizontal.circle"), QStringLiteral(":/symbols/disconnect.svg")},
        {QStringLiteral("cable.connector"), QStringLiteral(":/symbols/serial-port.svg")},
        {QStringLiteral("cable.connector.slash"), QStringLiteral(":/symbols/adapter-missing.svg")},
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
        {QStringLiteral("eye.slash"), QStringLiteral("view-conceal-symbolic")},
        // Power states: "Ein" and "Aus" differ
        {QStringLiteral("power.circle.fill"), QStringLiteral(":/symbols/power-on.svg")},
        {QStringLiteral("power"), QStringLiteral("system-shutdown-symbolic")},
        {QStringLiteral("display"), QStringLiteral("video-display-symbolic")},
        {QStringLiteral("moon.fill"), QStringLiteral("weather-clear-night-symbolic")},
        {QStringLiteral("leaf.fill"), QStringLiteral("power-profile-power-saver-symbolic")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("dialog-question-symbolic")},
        // The display and its inputs: video ports, not network cables
        {QStringLiteral("rectangle.on.rectangle.angled"), QStringLiteral("video-display-symbolic")},
        {QStringLiteral("rectangle.connected.to.line.below"),
         QStringLiteral(":/symbols/input-hdmi.svg")},
        {QStringLiteral("input.hdmi"), QStringLiteral(":/symbols/input-hdmi.svg")},
        {QStringLiteral("input.usbc"), QStringLiteral(":/symbols/input-usbc.svg")},
        {QStringLiteral("input.vga"), QStringLiteral(":/symbols/input-vga.svg")},
        {QStringLiteral("input.ops"), QStringLiteral("computer-symbolic")}, // the slot-in PC
        {QStringLiteral("input.android"), QStringLiteral("view-app-grid-symbolic")},
        {QStringLiteral("input.unknown"), QStringLiteral("video-display-symbolic")},
        // Sound and picture: a small and a large sun
        {QStringLiteral("speaker.fill"), QStringLiteral("audio-volume-low-symbolic")},
        {QStringLiteral("speaker.wave.2.fill"), QStringLiteral("audio-volume-high-symbolic")},
        {QStringLiteral("speaker.wave.3"), QStringLiteral("audio-volume-high-symbolic")},
        {QStringLiteral("speaker.wave.3.fill"), QStringLiteral("audio-volume-high-symbolic")},
        {QStringLiteral("speaker.slash"), QStringLiteral("audio-volume-muted-symbolic")},
        {QStringLiteral("speaker.slash.fill"), QStringLiteral("audio-volume-muted-symbolic")},
        {QStringLiteral("mic.slash"), QStringLiteral("microphone-disabled-symbolic")},
        {QStringLiteral("sun.min"), QStringLiteral(":/symbols/brightness-low.svg")},
        {QStringLiteral("sun.max"), QStringLiteral(":/symbols/brightness-high.svg")},
        {QStringLiteral("sun.max.fill"), QStringLiteral(":/symbols/brightness-high.svg")},
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
        {QStringLiteral("info.circle"), QStringLiteral("dialog-information-symbolic")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy-symbolic")},
    };
    return table;
}

QIcon pictureOf(const QString& symbolName)
{
    static const bool themeReachable = (installIconSearchPath(), true);
    Q_UNUSED(themeReachable);
    const auto it = pictures().constFind(symbolName);
    if (it == pictures().constEnd())
        return {};
    if (it->startsWith(u':'))
        return QIcon(*it);
    return QIcon::fromTheme(*it);
}

// Draws the symbol when asked, in the colour of the moment: a palette change needs no new icon.
class SymbolIconEngine final : public QIconEngine {
public:
    SymbolIconEngine(QString symbol, std::optional<Style::Tone> tone)
        : m_symbol(std::move(symbol))
        , m_tone(tone)
    {
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QApplication::palette();
        QColor color;
        if (mode == QIcon::Selected)
            color = palette.color(QPalette::HighlightedText);
        else if (m_tone)
            color = Style::color(*m_tone);
        else
            color = palette.color(QPalette::Active, QPalette::ButtonText);
        if (mode == QIcon::Disabled)
            color = m_tone ? QColor(color.red(), color.green(), color.blue(), 110)
                           : palette.color(QPalette::Disabled, QPalette::ButtonText);
        return symbolPixmap(m_symbol, qMin(size.width(), size.height()), color);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new SymbolIconEngine(m_symbol, m_tone); }
    QString key() const override { return QStringLiteral("BildwartSymbol"); }

private:
    QString m_symbol;
    std::optional<Style::Tone> m_tone;
};

} // namespace

bool hasSymbol(const QString& symbolName)
{
    return !pictureOf(symbolName).isNull();
}

QIcon symbolIcon(const QString& symbolName)
{
    return QIcon(new SymbolIconEngine(symbolName, std::nullopt));
}

QIcon symbolIcon(const QString& symbolName, Style::Tone tone)
{
    return QIcon(new SymbolIconEngine(symbolName, tone));
}

QPixmap symbolPixmap(const QString& symbolName, int size, const QColor& color)
{
    if (size <= 0)
        return {};
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const QString key = QStringLiteral("bildwart/%1/%2/%3/%4")
                            .arg(symbolName)
                            .arg(size)
                            .arg(color.rgba(), 0, 16)
                            .arg(ratio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const QIcon icon = pictureOf(symbolName);
    if (icon.isNull())
        return {};
    const int pixels = qRound(size * ratio);
    // Drawn onto a transparent square of the full size: the theme may have only smaller ones.
    QPixmap shape(pixels, pixels);
    shape.fill(Qt::transparent);
    {
        QPainter painter(&shape);
        icon.paint(&painter, shape.rect());
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(shape.rect(), color);
    }
    shape.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, shape);
    return shape;
}

QString inputSymbol(const QString& inputId)
{
    for (const char* kind : {"hdmi", "usbc", "vga", "ops", "android"}) {
        if (inputId.startsWith(QLatin1String(kind)))
            return QStringLiteral("input.") + QLatin1String(kind);
    }
    return QStringLiteral("input.unknown");
}

void installIconSearchPath()
{
    const QString systemIcons = QStringLiteral("/usr/share/icons");
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(systemIcons) && QDir(systemIcons).exists()) {
        paths.append(systemIcons);
        QIcon::setThemeSearchPaths(paths);
    }
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}
