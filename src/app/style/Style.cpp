#include "app/style/Style.h"

#include "app/style/Icons.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace Style {

namespace {

struct TonePair {
    QColor light; // on a light background; also the fill behind white text
    QColor dark;  // lighter, for text on a dark background
};

// A little darker than the usual system colours so that caption text in them stays readable on
// the light window background; on a dark one the lighter twin is used.
TonePair signalColors(Tone tone)
{
    switch (tone) {
    case Tone::accent:
        return {QColor(0x0A, 0x64, 0xD6), QColor(0x4C, 0x9A, 0xF2)};
    case Tone::green:
        return {QColor(0x1E, 0x9A, 0x46), QColor(0x4C, 0xC2, 0x6E)};
    case Tone::orange:
        return {QColor(0xE0, 0x7A, 0x00), QColor(0xF2, 0xA3, 0x3A)};
    case Tone::red:
        return {QColor(0xD7, 0x2C, 0x20), QColor(0xFF, 0x6B, 0x5E)};
    case Tone::yellow:
        return {QColor(0xD9, 0xA8, 0x00), QColor(0xE8, 0xC5, 0x47)};
    case Tone::indigo:
        return {QColor(0x58, 0x56, 0xD6), QColor(0x93, 0x91, 0xF5)};
    case Tone::purple:
        return {QColor(0x9A, 0x3F, 0xC4), QColor(0xC4, 0x8D, 0xEB)};
    case Tone::blue:
        return {QColor(0x1F, 0x6F, 0xE5), QColor(0x62, 0xA3, 0xFF)};
    case Tone::primary:
    case Tone::secondary:
    case Tone::tertiary:
        break;
    }
    return {};
}

QPalette paletteOf(const QWidget* widget)
{
    return widget ? widget->palette() : QApplication::palette();
}

// What a widget keeps from the palette, remembered as properties so that it can be set again.
const char* const toneKey = "bildwartTone";
const char* const symbolKey = "bildwartSymbol";
const char* const symbolSizeKey = "bildwartSymbolSize";
const char* const destructiveKey = "bildwartDestructive";
const char* const keepsLookKey = "bildwartKeepsLook";
const char* const followedKey = "bildwartFollowsPalette";

// A label's colours come from its parent's palette: its own text colour is the one set here.
const QWidget* referenceOf(const QWidget* widget)
{
    return widget->parentWidget() ? widget->parentWidget() : nullptr;
}

void restyle(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (const QVariant tone = label->property(toneKey); tone.isValid()) {
            const QColor text = color(Tone(tone.toInt()), referenceOf(label));
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, text);
            palette.setColor(QPalette::Text, text);
            label->setPalette(palette);
        }
        if (const QVariant symbol = label->property(symbolKey); symbol.isValid()) {
            const QVariant tone = label->property(toneKey);
            label->setPixmap(symbolPixmap(symbol.toString(), label->property(symbolSizeKey).toInt(),
                                          color(Tone(tone.toInt()), referenceOf(label))));
        }
    }
    if (widget->property(keepsLookKey).toBool()) {
        // Only the disabled colours are set, from the enabled ones; the others stay inherited.
        QPalette palette = widget->palette();
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colorRole = QPalette::ColorRole(role);
            palette.setColor(QPalette::Disabled, colorRole,
                             palette.color(QPalette::Active, colorRole));
        }
        widget->setPalette(palette);
    }
    if (widget->property(destructiveKey).toBool()) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::ButtonText, color(Tone::red, referenceOf(widget)));
        widget->setPalette(palette);
    }
}

// Sets a widget's palette-made looks again on every change of its palette, and of the
// application's (which not every widget hears of); a change made by that setting itself is not
// followed again.
class PaletteFollower : public QObject {
public:
    explicit PaletteFollower(QCoreApplication* application)
        : QObject(application)
    {
        application->installEventFilter(this);
    }

    void add(QWidget* widget)
    {
        widget->installEventFilter(this);
        m_followed.append(widget);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange &&
            watched == QCoreApplication::instance()) {
            // The widgets hear of the new palette a little later; their looks follow then.
            QTimer::singleShot(0, this, &PaletteFollower::restyleAll);
        } else if (event->type() == QEvent::PaletteChange && watched->isWidgetType()) {
            restyleOnce(static_cast<QWidget*>(watched));
        }
        return false;
    }

private:
    void restyleAll()
    {
        m_followed.removeAll(nullptr);
        // Outer widgets first: inner ones take colours from them.
        const auto depth = [](const QWidget* widget) {
            int levels = 0;
            for (; widget; widget = widget->parentWidget())
                ++levels;
            return levels;
        };
        std::stable_sort(m_followed.begin(), m_followed.end(),
                         [&](const QPointer<QWidget>& a, const QPointer<QWidget>& b) {
                             return depth(a) < depth(b);
                         });
        for (const QPointer<QWidget>& widget : std::as_const(m_followed))
            restyleOnce(widget);
    }

    void restyleOnce(QWidget* widget)
    {
        if (m_restyling.contains(widget))
            return;
        m_restyling.append(widget);
        restyle(widget);
        m_restyling.removeOne(widget);
    }

    QList<QPointer<QWidget>> m_followed;
    QList<QObject*> m_restyling;
};

void follow(QWidget* widget)
{
    static QPointer<PaletteFollower> follower;
    if (!follower)
        follower = new PaletteFollower(QCoreApplication::instance());
    if (!widget->property(followedKey).toBool()) {
        follower->add(widget);
        widget->setProperty(followedKey, true);
    }
    restyle(widget);
}

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

bool isDark(const QWidget* widget)
{
    return paletteOf(widget).color(QPalette::Window).lightness() < 128;
}

QColor color(Tone tone, const QWidget* widget)
{
    switch (tone) {
    case Tone::primary:
        return paletteOf(widget).color(QPalette::WindowText);
    case Tone::secondary:
        return secondaryText(widget);
    case Tone::tertiary:
        return tertiaryText(widget);
    default:
        break;
    }
    const TonePair pair = signalColors(tone);
    return isDark(widget) ? pair.dark : pair.light;
}

QColor fill(Tone tone)
{
    return signalColors(tone).light;
}

QColor secondaryText(const QWidget* widget)
{
    return paletteOf(widget).color(QPalette::PlaceholderText);
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

QColor outline(const QWidget* widget)
{
    QColor color = paletteOf(widget).color(QPalette::WindowText);
    color.setAlpha(isDark(widget) ? 40 : 28);
    return color;
}

QFont monospace(qreal pointSize)
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
    return weighted(QApplication::font(), QFont::DemiBold);
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
    return weighted(scaled(2.2), QFont::DemiBold);
}

QString cssColor(const QColor& color)
{
    if (color.alpha() == 255)
        return color.name(QColor::HexRgb);
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alpha());
}

void setTone(QLabel* label, Tone tone)
{
    label->setProperty(toneKey, int(tone));
    follow(label);
}

void makeCaption(QLabel* label, Tone tone)
{
    label->setFont(caption());
    setTone(label, tone);
}

void setSymbol(QLabel* label, const QString& symbol, int size, Tone tone)
{
    label->setProperty(symbolKey, symbol);
    label->setProperty(symbolSizeKey, size);
    setTone(label, tone);
}

void makeDestructive(QAbstractButton* button)
{
    button->setProperty(destructiveKey, true);
    follow(button);
}

void disableKeepingLook(QWidget* area, bool on)
{
    area->setProperty(keepsLookKey, on);
    if (on)
        follow(area);
    else
        area->setPalette(QPalette()); // everything inherited again
    area->setEnabled(!on);
}

bool looksDisabled(const QWidget* widget)
{
    for (const QWidget* area = widget->parentWidget(); area; area = area->parentWidget()) {
        if (area->property(keepsLookKey).toBool())
            return !widget->isEnabledTo(area);
    }
    return !widget->isEnabled();
}

} // namespace Style
