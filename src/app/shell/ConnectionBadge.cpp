#include "app/shell/ConnectionBadge.h"

#include "app/style/Style.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/LineTester.h"
#include "controller/RemoteDisplay.h"

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

ConnectionBadge::Appearance ConnectionBadge::appearance(const ConnectionState& state, Heard heard,
                                                        bool network)
{
    using Case = ConnectionState::Case;
    using Tone = Style::Tone;
    switch (state.state) {
    case Case::disconnected:
        return {tr("Getrennt"), Tone::secondary};
    case Case::connecting:
        return {tr("Verbinde …"), Tone::yellow};
    case Case::connected:
        // Only a display's own answer counts; an echo or noise is bytes, not a display.
        switch (heard) {
        case Heard::display:
            return {tr("Display antwortet"), Tone::green};
        case Heard::ownBytes:
            return {tr("Leitung sendet zurück (Brückenstecker?)"), Tone::orange};
        case Heard::bytes:
            return {tr("Bytes ohne Prompt"), Tone::orange};
        case Heard::nothing:
            break;
        }
        return {tr("Port offen – keine Antwort"), Tone::orange};
    case Case::waiting:
        return {network ? tr("Warte auf Gateway …") : tr("Warte auf Wandler …"), Tone::orange};
    case Case::failed:
        return {tr("Fehler"), Tone::red};
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
    QObject::connect(&controller.line(), &LineSession::connectionChanged, this,
                     &ConnectionBadge::refresh);
    QObject::connect(&controller.line(), &LineSession::hearingChanged, this,
                     &ConnectionBadge::refresh);
    QObject::connect(&controller.display(), &RemoteDisplay::answeredChanged, this,
                     &ConnectionBadge::refresh);
    QObject::connect(&controller.tester(), &LineTester::lineEchoesChanged, this,
                     &ConnectionBadge::refresh);
    refresh();
}

void ConnectionBadge::refresh()
{
    const ConnectionState& state = m_controller.line().connection();
    const Heard heard = m_controller.display().state().displayAnswered() ? Heard::display
                        : m_controller.tester().lineEchoes()             ? Heard::ownBytes
                        : m_controller.line().hearsBytes()               ? Heard::bytes
                                                                         : Heard::nothing;
    m_appearance = appearance(state, heard, m_controller.line().isNetwork());
    setToolTip(state.is(ConnectionState::Case::failed) ? state.reason : QString());
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
