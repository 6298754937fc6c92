#include "app/widgets/Panel.h"

#include "app/style/Style.h"

#include <QPainter>

Panel::Panel(int radius, QWidget* parent)
    : QFrame(parent)
    , m_radius(radius)
{
}

void Panel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Style::outline(this), 1));
    // On a dark palette the base colour is darker than the window; a panel rises above it
    // instead, and the fields in it (on the base colour) stand out.
    const QPalette& colors = palette();
    painter.setBrush(Style::isDark(this) ? colors.color(QPalette::Window).lighter(118)
                                         : colors.color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
}
