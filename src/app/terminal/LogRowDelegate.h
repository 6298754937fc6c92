#pragma once

#include "app/terminal/LineEndText.h"

#include <QFont>
#include <QStyledItemDelegate>

// Draws one log row: the time, the kind's symbol in a narrow box and the text, in the kind's
// colour, all in the system's fixed-width face at the user's size. Rows are one line high; a
// text wider than the row is cut with "…" and shown whole in the tooltip.
class LogRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit LogRowDelegate(QObject* parent = nullptr);

    const QFont& font() const { return m_font; }
    const LineEndText& lineEnds() const { return m_text; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // Rows whose text contains this (in any letter case) are marked; empty marks none.
    void setHighlight(const QString& text) { m_highlight = text; }
    const QString& highlight() const { return m_highlight; }
    static bool matches(const QModelIndex& index, const QString& text);

    // The text colour of an entry of this kind (LogEntry::Kind as int).
    static QColor kindColor(int kind, const QWidget* widget);

private:
    QRect bodyRect(const QRect& row) const;

    QFont m_font;
    LineEndText m_text;
    int m_timeWidth;
    int m_symbolWidth;
    QString m_highlight;
};
