#include "app/widgets/AdaptiveGridLayout.h"

#include <QWidget>

namespace {

int itemHeight(const QLayoutItem* item, int width)
{
    const int height =
        item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
    return qMax(height, item->minimumSize().height());
}

} // namespace

AdaptiveGridLayout::AdaptiveGridLayout(int minimumColumnWidth, int maximumColumnWidth, int spacing,
                                       QWidget* parent)
    : QLayout(parent)
    , m_minimumColumnWidth(minimumColumnWidth)
    , m_maximumColumnWidth(qMax(minimumColumnWidth, maximumColumnWidth))
    , m_spacing(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

AdaptiveGridLayout::~AdaptiveGridLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

int AdaptiveGridLayout::columnsFor(int width, int minimumColumnWidth, int spacing)
{
    if (minimumColumnWidth <= 0)
        return 1;
    return qMax(1, (width + spacing) / (minimumColumnWidth + spacing));
}

int AdaptiveGridLayout::minimumColumnWidth() const
{
    int width = m_minimumColumnWidth;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            width = qMax(width, item->minimumSize().width());
    }
    return width;
}

int AdaptiveGridLayout::columnsFor(int width) const
{
    return columnsFor(width, minimumColumnWidth(), m_spacing);
}

int AdaptiveGridLayout::columnWidthFor(int width) const
{
    const int columns = columnsFor(width);
    const int shared = (width - (columns - 1) * m_spacing) / columns;
    return qMax(1, qMin(shared, qMax(m_maximumColumnWidth, minimumColumnWidth())));
}

void AdaptiveGridLayout::setStretchToRowHeight(bool on)
{
    if (m_stretchToRowHeight == on)
        return;
    m_stretchToRowHeight = on;
    invalidate();
}

void AdaptiveGridLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem* AdaptiveGridLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index) : nullptr;
}

QLayoutItem* AdaptiveGridLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

int AdaptiveGridLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

int AdaptiveGridLayout::heightForRows(int width, int rows) const
{
    return arrange(QRect(0, 0, width, 0), false, rows);
}

QSize AdaptiveGridLayout::minimumSize() const
{
    // One column; no minimum height of its own, as the height follows from the width
    // (a minimum taken at one column would leave a gap under a wide, two-column grid).
    const int width = minimumColumnWidth();
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), margins.top() + margins.bottom()};
}

QSize AdaptiveGridLayout::sizeHint() const
{
    int visible = 0;
    for (const QLayoutItem* item : m_items)
        visible += item->isEmpty() ? 0 : 1;
    const int columns = qBound(1, visible, 2);
    const QMargins margins = contentsMargins();
    const int width = columns * minimumColumnWidth() + (columns - 1) * m_spacing + margins.left() +
                      margins.right();
    return {width, heightForWidth(width)};
}

void AdaptiveGridLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int AdaptiveGridLayout::arrange(const QRect& rect, bool apply, int rowLimit) const
{
    const QMargins margins = contentsMargins();
    const QRect area = rect.marginsRemoved(margins);
    const int columns = columnsFor(area.width());
    const int columnWidth = columnWidthFor(area.width());
    const int usedWidth = columns * columnWidth + (columns - 1) * m_spacing;
    const int left = area.left() + qMax(0, (area.width() - usedWidth) / 2);

    QList<QLayoutItem*> visible;
    for (QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            visible.append(item);
    }

    int y = area.top();
    for (int rowStart = 0; rowStart < visible.size() && rowLimit != 0;
         rowStart += columns, --rowLimit) {
        const int rowEnd = qMin<int>(rowStart + columns, visible.size());
        int rowHeight = 0;
        for (int i = rowStart; i < rowEnd; ++i)
            rowHeight = qMax(rowHeight, itemHeight(visible.at(i), columnWidth));
        if (apply) {
            for (int i = rowStart; i < rowEnd; ++i) {
                QLayoutItem* item = visible.at(i);
                const int x = left + (i - rowStart) * (columnWidth + m_spacing);
                const int height = m_stretchToRowHeight ? rowHeight : itemHeight(item, columnWidth);
                item->setGeometry(QRect(x, y, columnWidth, height));
            }
        }
        y += rowHeight;
        if (rowEnd < visible.size() && rowLimit != 1)
            y += m_spacing;
    }
    return y - area.top() + margins.top() + margins.bottom();
}
