#include "app/widgets/TileButton.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int tileMinimumHeight = 62;
// Three inputs side by side in the narrow card of a 1024-pixel window.
constexpr int tileMinimumWidth = 84;
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

TileButton::TileButton(const QString& title, const QString& symbol, Style::Tone tone,
                       QWidget* parent)
    : QAbstractButton(parent)
    , m_title(title)
    , m_symbol(symbol)
    , m_tone(tone)
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

void TileButton::setStale(bool stale)
{
    if (m_stale == stale)
        return;
    m_stale = stale;
    update();
}

void TileButton::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
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
        qMax(minimumSizeHint().width(), metrics.horizontalAdvance(m_title) + 2 * horizontalPadding);
    return {width, heightForWidth(width)};
}

QSize TileButton::minimumSizeHint() const
{
    // The title may wrap between words, but never inside one.
    const QFontMetrics metrics(titleFont());
    int widest = 0;
    for (const QString& word : m_title.split(u' '))
        widest = qMax(widest, metrics.horizontalAdvance(word));
    return {qMax(tileMinimumWidth, widest + 2 * horizontalPadding), tileMinimumHeight};
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

TileButton* TileButton::neighbour(int key) const
{
    // The nearest tile of the same grid in the arrow's direction, by the tiles' centres.
    const QPoint from = geometry().center();
    TileButton* best = nullptr;
    int bestDistance = 0;
    for (TileButton* tile : parentWidget()->findChildren<TileButton*>(Qt::FindDirectChildrenOnly)) {
        if (tile == this || !tile->isVisible() || !tile->isEnabled())
            continue;
        const QPoint delta = tile->geometry().center() - from;
        const bool ahead = (key == Qt::Key_Left && delta.x() < 0 && delta.y() == 0) ||
                           (key == Qt::Key_Right && delta.x() > 0 && delta.y() == 0) ||
                           (key == Qt::Key_Up && delta.y() < 0) ||
                           (key == Qt::Key_Down && delta.y() > 0);
        const int distance =
            4 * qAbs(key == Qt::Key_Up || key == Qt::Key_Down ? delta.y() : delta.x()) +
            qAbs(key == Qt::Key_Up || key == Qt::Key_Down ? delta.x() : delta.y());
        if (ahead && (!best || distance < bestDistance)) {
            best = tile;
            bestDistance = distance;
        }
    }
    return best;
}

void TileButton::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        animateClick();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (TileButton* next = neighbour(event->key()))
            next->setFocus(Qt::TabFocusReason);
        return;
    default:
        QAbstractButton::keyPressEvent(event);
    }
}

void TileButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const bool filled = m_active && !m_stale;
    QColor fill = filled ? Style::fill(m_tone) : Style::quietFill(this);
    if (isDown())
        fill = filled ? fill.darker(115) : fill.darker(130);
    else if (m_hovered && !Style::looksDisabled(this) && !filled)
        fill.setAlphaF(qMin(1.0, fill.alphaF() * 1.6));
    const QColor foreground = filled     ? QColor(Qt::white)
                              : m_active ? Style::color(m_tone, this)
                                         : palette().color(QPalette::WindowText);

    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill);
    if (m_active && m_stale) {
        painter.setPen(QPen(Style::color(m_tone, this), 2, Qt::DashLine));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), cornerRadius, cornerRadius);
    }
    if (hasFocus() && m_keyboardFocus) {
        painter.setPen(
            QPen(filled ? QColor(Qt::white) : Style::color(Style::Tone::accent, this), 2));
        const qreal inset = filled ? 3 : 1; // inside the fill, where the white ring shows
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset),
                                cornerRadius - inset + 1, cornerRadius - inset + 1);
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
