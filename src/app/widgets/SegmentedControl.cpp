#include "app/widgets/SegmentedControl.h"

#include "app/style/Style.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int segmentPadding = 12;
constexpr int controlHeight = 26;
constexpr qreal outerRadius = 7;
constexpr qreal innerRadius = 5;
constexpr int inset = 2;

} // namespace

SegmentedControl::SegmentedControl(const QStringList& segments, QWidget* parent)
    : QWidget(parent)
    , m_segments(segments)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void SegmentedControl::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_segments.size() || index == m_current)
        return;
    m_current = index;
    update();
}

QSize SegmentedControl::sizeHint() const
{
    int widest = 0;
    for (const QString& segment : m_segments)
        widest = qMax(widest, fontMetrics().horizontalAdvance(segment));
    return {int(m_segments.size()) * (widest + 2 * segmentPadding),
            qMax(controlHeight, fontMetrics().height() + 10)};
}

QSize SegmentedControl::minimumSizeHint() const
{
    // Never narrower than its labels: a segment that reads "SMART-Bef…" tells nothing.
    return sizeHint();
}

QRect SegmentedControl::segmentRect(int index) const
{
    const int count = qMax(1, int(m_segments.size()));
    const int left = index * width() / count;
    const int right = (index + 1) * width() / count;
    return {left, 0, right - left, QWidget::height()};
}

void SegmentedControl::choose(int index)
{
    if (index < 0 || index >= m_segments.size() || index == m_current)
        return;
    m_current = index;
    update();
    emit activated(index);
}

void SegmentedControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    for (int i = 0; i < m_segments.size(); ++i) {
        if (segmentRect(i).contains(event->position().toPoint()))
            choose(i);
    }
}

void SegmentedControl::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        choose(m_current - 1);
        break;
    case Qt::Key_Right:
        choose(m_current + 1);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void SegmentedControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outer;
    outer.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), outerRadius, outerRadius);
    painter.fillPath(outer, Style::quietFill(this));
    if (hasFocus()) {
        painter.setPen(QPen(Style::color(Style::Tone::accent, this), 1.5));
        painter.drawPath(outer);
    }

    for (int i = 0; i < m_segments.size(); ++i) {
        const QRect area = segmentRect(i);
        const bool selected = i == m_current;
        if (selected) {
            QPainterPath fill;
            fill.addRoundedRect(QRectF(area).adjusted(inset, inset, -inset, -inset), innerRadius,
                                innerRadius);
            QColor color = Style::fill(Style::Tone::accent);
            if (Style::looksDisabled(this))
                color.setAlphaF(0.45);
            painter.fillPath(fill, color);
        } else if (i > 0 && i - 1 != m_current) {
            painter.setPen(Style::secondaryText(this)); // the divider between two unselected
            painter.drawLine(area.left(), area.top() + 6, area.left(), area.bottom() - 6);
        }
        painter.setPen(selected ? QColor(Qt::white) : palette().color(QPalette::WindowText));
        painter.drawText(
            area, Qt::AlignCenter,
            fontMetrics().elidedText(m_segments.at(i), Qt::ElideRight, area.width() - 2 * inset));
    }
}
