#include "app/widgets/ToggleButton.h"

#include "app/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace {

constexpr qreal cornerRadius = 6;

} // namespace

ToggleButton::ToggleButton(const QString& text, const QString& symbol, const QColor& tint,
                           QWidget* parent)
    : QPushButton(text, parent)
    , m_tint(tint)
    , m_symbol(symbol)
{
    setCheckable(true);
    setAutoDefault(false);
    setIcon(symbolIcon(symbol));
}

void ToggleButton::setTint(const QColor& tint)
{
    if (m_tint == tint)
        return;
    m_tint = tint;
    update();
}

void ToggleButton::setSymbol(const QString& symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    setIcon(symbolIcon(symbol));
}

void ToggleButton::paintEvent(QPaintEvent* event)
{
    if (!isChecked()) {
        QPushButton::paintEvent(event);
        return;
    }
    // The same geometry as the platform's button, so switching does not move anything.
    QStyleOptionButton option;
    initStyleOption(&option);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = isDown() ? m_tint.darker(115) : m_tint;
    if (!isEnabled())
        fill.setAlphaF(0.45);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill);

    const QFontMetrics metrics = fontMetrics();
    const QPixmap pixmap = symbolPixmap(m_symbol, option.iconSize.height(), Qt::white);
    const int gap = pixmap.isNull() ? 0 : 6;
    const int iconWidth = pixmap.isNull() ? 0 : option.iconSize.width();
    const int contentWidth = iconWidth + gap + metrics.horizontalAdvance(text());
    int x = (width() - contentWidth) / 2;
    if (!pixmap.isNull()) {
        painter.drawPixmap(QRect(x, (height() - option.iconSize.height()) / 2,
                                 option.iconSize.width(), option.iconSize.height()),
                           pixmap);
        x += iconWidth + gap;
    }
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        painter.setPen(QPen(m_tint.darker(150), 1.5));
        painter.drawPath(shape);
    }
}
