#include "app/widgets/ViewStyle.h"

#include "app/Style.h"

#include <QApplication>
#include <QWidget>

namespace ViewStyle {

namespace {

QFont scaled(qreal factor, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

} // namespace

QColor indigo()
{
    return QColor(0x58, 0x56, 0xD6);
}
QColor purple()
{
    return QColor(0x9A, 0x3F, 0xC4);
}
QColor blue()
{
    return QColor(0x1F, 0x6F, 0xE5);
}

QColor tertiaryText(const QWidget* widget)
{
    QColor color = Style::secondaryText(widget);
    color.setAlphaF(color.alphaF() * 0.7);
    return color;
}

QColor quietFill(const QWidget* widget)
{
    QColor color = Style::secondaryText(widget);
    color.setAlphaF(0.12);
    return color;
}

QFont title()
{
    return scaled(1.6, QFont::DemiBold);
}
QFont title3()
{
    return scaled(1.15, QFont::DemiBold);
}
QFont subheadline()
{
    return scaled(0.92);
}

QFont largeFigures()
{
    QFont font = QApplication::font();
    font.setPixelSize(30);
    font.setWeight(QFont::DemiBold);
    return font;
}

} // namespace ViewStyle
