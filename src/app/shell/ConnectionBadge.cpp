#include "app/shell/ConnectionBadge.h"

#include "app/style/Style.h"
#include "controller/DisplayController.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

// Geometry of the pill, in device-independent pixels.
constexpr int dotSize = 9;
constexpr int dotSpacing = 6;
constexpr int horizontalPadding = 10;
constexpr int verticalPadding = 4;
// The capsule behind the text: the state colour, faint enough to keep the text readable.
constexpr double capsuleOpacity = 0.14;

QFont badgeFont()
{
    QFont font = Style::callout();
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace

ConnectionBadge::Appearance ConnectionBadge::appearance(const ConnectionState& state,
                                                        bool displayResponding)
{
    using Case = ConnectionState::Case;
    using Tone = Style::Tone;
    switch (state.state) {
    case Case::disconnected:
        return {QStringLiteral("Getrennt"), Tone::secondary};
    case Case::connecting:
        return {QStringLiteral("Verbinde \u2026"), Tone::yellow};
    case Case::connected:
        if (displayResponding)
            return {QStringLiteral("Display antwortet"), Tone::green};
        return {QStringLiteral("Port offen \u2013 keine Antwort"), Tone::orange};
    case Case::waiting:
        return {QStringLiteral("Warte auf Wandler \u2026"), Tone::orange};
    case Case::failed:
        return {QStringLiteral("Fehler"), Tone::red};
    }
    return {};
}

ConnectionBadge::ConnectionBadge(DisplayController& controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
{
    setObjectName(QStringLiteral("connectionBadge"));
    setFont(badgeFont());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    QObject::connect(&controller, &DisplayController::connectionChanged, this,
                     &ConnectionBadge::refresh);
    QObject::connect(&controller, &DisplayController::displayRespondingChanged, this,
                     &ConnectionBadge::refresh);
    refresh();
}

void ConnectionBadge::refresh()
{
    m_appearance = appearance(m_controller.connection(), m_controller.displayResponding());
    setToolTip(m_controller.connection().is(ConnectionState::Case::failed)
                   ? m_controller.connection().reason
                   : QString());
    updateGeometry();
    update();
}

QSize ConnectionBadge::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(m_appearance.text);
    const int height = std::max(metrics.height(), dotSize) + 2 * verticalPadding;
    return {2 * horizontalPadding + dotSize + dotSpacing + textWidth + 1, height};
}

void ConnectionBadge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QSize size = sizeHint();
    const QRectF capsule(0, (height() - size.height()) / 2.0, size.width(), size.height());
    QColor fill = color();
    fill.setAlphaF(capsuleOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);

    const QRectF dot(horizontalPadding, capsule.center().y() - dotSize / 2.0, dotSize, dotSize);
    painter.setBrush(color());
    painter.drawEllipse(dot);

    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF textRect(dot.right() + dotSpacing, capsule.top(),
                          capsule.width() - dot.right() - dotSpacing, capsule.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_appearance.text);
}
