#include "app/terminal/LogRowDelegate.h"

#include "app/style/Style.h"
#include "app/terminal/LogModel.h"
#include "controller/LogEntry.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QTime>
#include <QToolTip>

namespace {

constexpr int sideMargin = 14;
constexpr int columnGap = 8;
constexpr int symbolBoxWidth = 14;
constexpr int rowGap = 1;
// A tooltip is for a glance; a line of several thousand characters belongs in the export.
constexpr int tooltipCharacters = 1000;

} // namespace

LogRowDelegate::LogRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
    , m_font(Style::monospace())
    , m_text(m_font)
{
    // Wide enough for the longest time of the day in the user's locale.
    const QFontMetrics metrics(m_font);
    const QLocale locale;
    const QString format = LogModel::timeFormat(locale);
    m_timeWidth = qMax(metrics.horizontalAdvance(locale.toString(QTime(23, 59, 59, 999), format)),
                       metrics.horizontalAdvance(locale.toString(QTime(11, 59, 59, 999), format)));
    m_symbolWidth = qMax(symbolBoxWidth, metrics.horizontalAdvance(QStringLiteral("M")));
}

QColor LogRowDelegate::kindColor(int kind, const QWidget* widget)
{
    switch (LogEntry::Kind(kind)) {
    case LogEntry::Kind::tx:
        return Style::color(Style::Tone::blue, widget);
    case LogEntry::Kind::rx:
        return Style::color(Style::Tone::green, widget);
    case LogEntry::Kind::info:
        return Style::secondaryText(widget);
    case LogEntry::Kind::async:
        return Style::color(Style::Tone::purple, widget);
    case LogEntry::Kind::error:
        return Style::color(Style::Tone::red, widget);
    }
    return Style::secondaryText(widget);
}

QSize LogRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // Every row is one line high, so the view can treat all rows as equal (uniform sizes).
    // No width of its own: a list in this mode stretches its rows to the viewport's width, and
    // a wider hint would push the row's end out of sight.
    return {1, QFontMetrics(m_font).height() + rowGap};
}

QRect LogRowDelegate::bodyRect(const QRect& row) const
{
    const int left = row.left() + sideMargin + m_timeWidth + columnGap + m_symbolWidth + columnGap;
    return {left, row.top(), qMax(0, row.right() - sideMargin - left), row.height() - rowGap};
}

void LogRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const
{
    const QWidget* widget = option.widget;
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) {
        painter->fillRect(option.rect, option.palette.color(QPalette::Highlight));
    } else if (matches(index, m_highlight)) {
        QColor found = option.palette.color(QPalette::Highlight);
        found.setAlpha(60);
        painter->fillRect(option.rect, found);
    }
    const QColor selectedText = option.palette.color(QPalette::HighlightedText);
    const QColor kind =
        selected ? selectedText : kindColor(index.data(LogModel::KindRole).toInt(), widget);

    painter->save();
    painter->setFont(m_font);
    const QRect line = option.rect.adjusted(0, 0, 0, -rowGap);
    QRect time(line.left() + sideMargin, line.top(), m_timeWidth, line.height());
    painter->setPen(selected ? selectedText : Style::tertiaryText(widget));
    painter->drawText(time, Qt::AlignLeft | Qt::AlignVCenter,
                      index.data(LogModel::TimeRole).toString());

    const QRect symbol(time.right() + 1 + columnGap, line.top(), m_symbolWidth, line.height());
    painter->setPen(kind);
    painter->drawText(symbol, Qt::AlignCenter, index.data(LogModel::SymbolRole).toString());

    m_text.draw(*painter, bodyRect(line), index.data(LogModel::BodyRole).toString(), kind,
                selected ? selectedText : Style::secondaryText(widget));
    painter->restore();
}

bool LogRowDelegate::matches(const QModelIndex& index, const QString& text)
{
    return !text.isEmpty() &&
           index.data(LogModel::BodyRole).toString().contains(text, Qt::CaseInsensitive);
}

bool LogRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                               const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString text = index.data(LogModel::BodyRole).toString();
    const QRect body = bodyRect(option.rect);
    if (m_text.width(text) <= body.width()) {
        QToolTip::hideText();
        return true;
    }
    if (text.size() > tooltipCharacters)
        text = text.left(tooltipCharacters) + QStringLiteral("…");
    // Plain text even when it looks like markup; long hex lines wrap in the tooltip.
    QToolTip::showText(event->globalPos(), QStringLiteral("<p>") + text.toHtmlEscaped(), view);
    return true;
}
