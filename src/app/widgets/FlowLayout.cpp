#include "app/widgets/FlowLayout.h"

#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent)
    , m_horizontalSpacing(horizontalSpacing)
    , m_verticalSpacing(verticalSpacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::setLastItemTrailing(bool on)
{
    if (m_lastItemTrailing == on)
        return;
    m_lastItemTrailing = on;
    invalidate();
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    // As narrow as the widest item; the height follows from heightForWidth.
    QSize size;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // Everything on one line.
    int width = 0;
    int height = 0;
    bool first = true;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width() + (first ? 0 : m_horizontalSpacing);
        height = qMax(height, hint.height());
        first = false;
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            visible.append(item);
    }

    int y = area.top();
    int index = 0;
    while (index < visible.size()) {
        // Collect one line: at least one item, even when it is wider than the area.
        int lineEnd = index;
        int lineWidth = 0;
        int lineHeight = 0;
        while (lineEnd < visible.size()) {
            const QSize hint = visible.at(lineEnd)->sizeHint();
            const int needed = lineWidth + (lineEnd > index ? m_horizontalSpacing : 0) +
                               qMin(hint.width(), area.width());
            if (lineEnd > index && needed > area.width())
                break;
            lineWidth = needed;
            lineHeight = qMax(lineHeight, hint.height());
            ++lineEnd;
        }
        if (apply) {
            int x = area.left();
            for (int i = index; i < lineEnd; ++i) {
                QLayoutItem* item = visible.at(i);
                const QSize hint = item->sizeHint();
                const int width = qMin(hint.width(), area.width());
                const bool trailing = m_lastItemTrailing && i == visible.size() - 1 && i > index;
                if (trailing)
                    x = area.right() + 1 - width;
                item->setGeometry(
                    QRect(x, y + (lineHeight - hint.height()) / 2, width, hint.height()));
                x += width + m_horizontalSpacing;
            }
        }
        y += lineHeight;
        index = lineEnd;
        if (index < visible.size())
            y += m_verticalSpacing;
    }
    return y - area.top() + contentsMargins().top() + contentsMargins().bottom();
}
