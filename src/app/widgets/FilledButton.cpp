#include "app/widgets/FilledButton.h"

#include "app/style/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace {

constexpr qreal cornerRadius = 6;
constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 5;
constexpr int iconGap = 6;

} // namespace

FilledButton::FilledButton(const QString& text, const QString& symbol, Style::Tone tone,
                           QWidget* parent)
    : QPushButton(text, parent)
    , m_tone(tone)
    , m_symbol(symbol)
{
    setAutoDefault(false);
    setIcon(symbolIcon(symbol));
}

void FilledButton::setTone(Style::Tone tone)
{
    if (m_tone == tone)
        return;
    m_tone = tone;
    update();
}

void FilledButton::setSymbol(const QString& symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    setIcon(symbolIcon(symbol));
}

QSize FilledButton::sizeHint() const
{
    // Large enough for both looks, so that a toggle does not move anything when it fills.
    const int iconSize = style()->pixelMetric(QStyle::PM_ButtonIconSize, nullptr, this);
    const QFontMetrics metrics = fontMetrics();
    const int filledWidth =
        2 * horizontalPadding + iconSize + iconGap + metrics.horizontalAdvance(text());
    const int filledHeight = qMax(metrics.height(), iconSize) + 2 * verticalPadding;
    return QPushButton::sizeHint().expandedTo({filledWidth, filledHeight});
}

void FilledButton::paintEvent(QPaintEvent* event)
{
    if (!isFilled()) {
        QPushButton::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Style::fill(m_tone);
    if (isDown())
        fill = fill.darker(115);
    QColor foreground(Qt::white);
    if (Style::looksDisabled(this)) {
        fill.setAlphaF(0.45);
        foreground.setAlphaF(0.8);
    }
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill);

    const int iconSize = style()->pixelMetric(QStyle::PM_ButtonIconSize, nullptr, this);
    const QPixmap icon = symbolPixmap(m_symbol, iconSize, foreground);
    const int iconWidth = icon.isNull() ? 0 : iconSize + iconGap;
    const int contentWidth = iconWidth + fontMetrics().horizontalAdvance(text());
    int x = qMax(horizontalPadding, (width() - contentWidth) / 2);
    if (!icon.isNull()) {
        painter.drawPixmap(QRect(x, (height() - iconSize) / 2, iconSize, iconSize), icon);
        x += iconWidth;
    }
    painter.setPen(foreground);
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        // A ring in the label's colour inside the fill: visible on every tone.
        painter.setPen(QPen(foreground, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), cornerRadius - 2,
                                cornerRadius - 2);
    }
}
