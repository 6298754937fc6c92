#pragma once

#include <QLayout>
#include <QList>

// Lays its items out left to right and starts a new line when the width runs out, so a row
// of buttons stays whole in a narrow window instead of forcing a horizontal scroll bar.
// Items keep their preferred size and are centred vertically within their line.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr, int horizontalSpacing = 12,
                        int verticalSpacing = 8);
    ~FlowLayout() override;

    // The last item sits at the right end of its line when it shares the line with others,
    // like a trailing button after a spacer.
    void setLastItemTrailing(bool on);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override { return int(m_items.size()); }

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items (when `apply`) and returns the height used for the given rectangle.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
    bool m_lastItemTrailing = false;
};
