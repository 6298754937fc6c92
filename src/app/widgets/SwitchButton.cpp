#include "app/widgets/SwitchButton.h"

#include "app/style/Style.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int trackWidth = 38;
constexpr int trackHeight = 22;
constexpr int knobMargin = 2;

} // namespace

SwitchButton::SwitchButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SwitchButton::sizeHint() const
{
    return {trackWidth + 6, trackHeight + 6}; // room for the focus ring around the track
}

void SwitchButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track((width() - trackWidth) / 2.0, (height() - trackHeight) / 2.0, trackWidth,
                       trackHeight);
    const bool disabled = Style::looksDisabled(this);
    QColor fill = isChecked() ? Style::fill(Style::Tone::accent) : Style::secondaryText(this);
    if (!isChecked())
        fill.setAlphaF(0.35);
    if (disabled)
        fill.setAlphaF(fill.alphaF() * 0.5);
    QPainterPath pill;
    pill.addRoundedRect(track, trackHeight / 2.0, trackHeight / 2.0);
    painter.fillPath(pill, fill);
    if (hasFocus()) {
        painter.setPen(QPen(Style::color(Style::Tone::accent, this), 1.5));
        painter.drawRoundedRect(track.adjusted(-2, -2, 2, 2), trackHeight / 2.0 + 2,
                                trackHeight / 2.0 + 2);
    }

    const qreal knob = trackHeight - 2 * knobMargin;
    const qreal x = isChecked() ? track.right() - knobMargin - knob : track.left() + knobMargin;
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.setBrush(disabled ? QColor(245, 245, 245) : QColor(Qt::white));
    painter.drawEllipse(QRectF(x, track.top() + knobMargin, knob, knob));
}
