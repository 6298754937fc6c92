#include "app/widgets/TileButton.h"

#include "app/Icons.h"
#include "app/Style.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int tileMinimumHeight = 62;
constexpr int tileMinimumWidth = 92;
constexpr int tileIconSize = 24;
constexpr int iconTitleGap = 6;
constexpr int verticalPadding = 9;
constexpr int horizontalPadding = 6;
constexpr qreal cornerRadius = 10;

QFont titleFont()
{
    QFont font = Style::callout();
    font.setWeight(QFont::Medium);
    return font;
}

constexpr int titleFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;

} // namespace

TileButton::TileButton(const QString& title, const QString& symbol, const QColor& tint,
                       QWidget* parent)
    : QAbstractButton(parent)
    , m_title(title)
    , m_symbol(symbol)
    , m_tint(tint)
{
    setText(title); // for accessibility and for finding the tile by its text
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void TileButton::setTitle(const QString& title)
{
    if (m_title == title)
        return;
    m_title = title;
    setText(title);
    updateGeometry();
    update();
}

void TileButton::setSymbol(const QString& symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    update();
}

void TileButton::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    update();
}

void TileButton::setTint(const QColor& tint)
{
    if (m_tint == tint)
        return;
    m_tint = tint;
    update();
}

QRect TileButton::titleRect(int width) const
{
    const QFontMetrics metrics(titleFont());
    const int textWidth = qMax(1, width - 2 * horizontalPadding);
    const QRect bounds = metrics.boundingRect(QRect(0, 0, textWidth, 10000), titleFlags, m_title);
    return {horizontalPadding, verticalPadding + tileIconSize + iconTitleGap, textWidth,
            bounds.height()};
}

int TileButton::heightForWidth(int width) const
{
    return qMax(tileMinimumHeight, titleRect(width).bottom() + 1 + verticalPadding);
}

QSize TileButton::sizeHint() const
{
    const QFontMetrics metrics(titleFont());
    const int width =
        qMax(tileMinimumWidth, metrics.horizontalAdvance(m_title) + 2 * horizontalPadding);
    return {width, heightForWidth(width)};
}

QSize TileButton::minimumSizeHint() const
{
    return {tileMinimumWidth / 2, tileMinimumHeight};
}

void TileButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TileButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void TileButton::focusInEvent(QFocusEvent* event)
{
    const Qt::FocusReason reason = event->reason();
    m_keyboardFocus = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                      reason == Qt::ShortcutFocusReason;
    QAbstractButton::focusInEvent(event);
}

void TileButton::focusOutEvent(QFocusEvent* event)
{
    m_keyboardFocus = false;
    QAbstractButton::focusOutEvent(event);
}

void TileButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QColor fill = m_active ? m_tint : Style::quietFill(this);
    if (isDown())
        fill = m_active ? fill.darker(115) : fill.darker(130);
    else if (m_hovered && isEnabled() && !m_active)
        fill.setAlphaF(qMin(1.0, fill.alphaF() * 1.6));
    const QColor foreground = m_active ? QColor(Qt::white) : palette().color(QPalette::WindowText);

    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill);
    if (hasFocus() && m_keyboardFocus) {
        painter.setPen(QPen(m_active ? m_tint.darker(140) : Style::tint(), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), cornerRadius, cornerRadius);
    }

    // Icon and title as one block, centred vertically when the tile is taller than needed.
    const QRect title = titleRect(width());
    const int blockHeight = tileIconSize + iconTitleGap + title.height();
    const int top = qMax(verticalPadding, (height() - blockHeight) / 2);
    const QPixmap icon = symbolPixmap(m_symbol, tileIconSize, foreground);
    if (!icon.isNull())
        painter.drawPixmap(QRect((width() - tileIconSize) / 2, top, tileIconSize, tileIconSize),
                           icon);
    painter.setFont(titleFont());
    painter.setPen(foreground);
    painter.drawText(title.translated(0, top - verticalPadding), titleFlags, m_title);
}
