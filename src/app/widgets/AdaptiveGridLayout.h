#pragma once

#include <QLayout>
#include <QList>
#include <QWidget>

// A grid whose number of columns follows the available width: as many columns of at least
// `minimumColumnWidth` (or the widest item's minimum width, for larger fonts) as fit, sharing the
// width equally but never wider than `maximumColumnWidth` (the columns are then centred). Items
// keep their order, row by row. Used for the dashboard's cards and for the power and input tiles.
class AdaptiveGridLayout : public QLayout {
public:
    static constexpr int unbounded = QWIDGETSIZE_MAX;

    AdaptiveGridLayout(int minimumColumnWidth, int maximumColumnWidth, int spacing,
                       QWidget* parent = nullptr);
    ~AdaptiveGridLayout() override;

    // Columns for a width; at least one, even when the width is smaller than one column.
    static int columnsFor(int width, int minimumColumnWidth, int spacing);
    int columnsFor(int width) const;
    int columnWidthFor(int width) const;

    // Off: every item is as high as it asks to be, at the top of its row (cards).
    // On: every item takes the whole height of its row (tiles of equal height).
    void setStretchToRowHeight(bool on);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_items.size()); }

    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // The height of the first `rows` rows at this width.
    int heightForRows(int width, int rows) const;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    int arrange(const QRect& rect, bool apply, int rowLimit = -1) const;
    int minimumColumnWidth() const;

    QList<QLayoutItem*> m_items;
    int m_minimumColumnWidth;
    int m_maximumColumnWidth;
    int m_spacing;
    bool m_stretchToRowHeight = false;
};
