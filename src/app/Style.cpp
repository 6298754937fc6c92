#include "app/Style.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPalette>

namespace Style {

// A little darker than the usual system colours so that caption text in them stays readable on
// the light window background.
QColor tint()
{
    return QColor(0x0A, 0x64, 0xD6);
}
QColor green()
{
    return QColor(0x1E, 0x9A, 0x46);
}
QColor orange()
{
    return QColor(0xE0, 0x7A, 0x00);
}
QColor red()
{
    return QColor(0xD7, 0x2C, 0x20);
}
QColor yellow()
{
    return QColor(0xD9, 0xA8, 0x00);
}
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

QColor secondaryText(const QWidget* widget)
{
    const QPalette palette = widget ? widget->palette() : QApplication::palette();
    return palette.color(QPalette::PlaceholderText);
}

QColor tertiaryText(const QWidget* widget)
{
    QColor color = secondaryText(widget);
    color.setAlphaF(color.alphaF() * 0.7);
    return color;
}

QColor quietFill(const QWidget* widget)
{
    QColor color = secondaryText(widget);
    color.setAlphaF(0.12);
    return color;
}

namespace {

QFont scaled(qreal factor)
{
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

QFont weighted(QFont font, QFont::Weight weight)
{
    font.setWeight(weight);
    return font;
}

} // namespace

QFont monospace(int pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(pointSize > 0 ? pointSize : QApplication::font().pointSizeF());
    return font;
}

QFont caption()
{
    return scaled(0.85);
}

QFont callout()
{
    return scaled(0.93);
}

QFont headline()
{
    QFont font = QApplication::font();
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont title()
{
    return weighted(scaled(1.6), QFont::DemiBold);
}

QFont title3()
{
    return weighted(scaled(1.15), QFont::DemiBold);
}

QFont subheadline()
{
    return weighted(scaled(0.92), QFont::Normal);
}

QFont largeFigures()
{
    QFont font = QApplication::font();
    font.setPixelSize(30);
    font.setWeight(QFont::DemiBold);
    return font;
}

QString cssColor(const QColor& color)
{
    if (color.alpha() == 255) {
        return color.name(QColor::HexRgb);
    }
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

QString cardStyleSheet(const QString& objectName, int radius)
{
    const QColor base = QApplication::palette().color(QPalette::Base);
    const QColor outline = QApplication::palette().color(QPalette::WindowText);
    QColor faint = outline;
    faint.setAlpha(28);
    return QStringLiteral("QFrame#%1 { background-color: %2; border: 1px solid %3;"
                          " border-radius: %4px; }")
        .arg(objectName, cssColor(base), cssColor(faint))
        .arg(radius);
}

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
}

void makeCaption(QLabel* label, const QColor& color)
{
    label->setFont(caption());
    setTextColor(label, color);
}

void makeProminent(QAbstractButton* button, const QColor& color)
{
    const QColor pressed = color.darker(120);
    QColor disabled = color;
    disabled.setAlpha(90);
    button->setStyleSheet(
        QStringLiteral("QAbstractButton { background-color: %1; color: white; border: none;"
                       " border-radius: 6px; padding: 5px 12px; }"
                       " QAbstractButton:pressed { background-color: %2; }"
                       " QAbstractButton:disabled { background-color: %3; color: %4; }")
            .arg(cssColor(color), cssColor(pressed), cssColor(disabled),
                 cssColor(QColor(255, 255, 255, 200))));
}

void makeDestructive(QAbstractButton* button)
{
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, red());
    button->setPalette(palette);
}

} // namespace Style
