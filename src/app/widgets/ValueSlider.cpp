#include "app/widgets/ValueSlider.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"

#include "app/widgets/WheelGuard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <cmath>

namespace {

constexpr int spacing = 12;
constexpr int iconSize = 16;

QPushButton* stepButton(const QString& symbol, const QString& fallback, const QString& name,
                        QWidget* parent)
{
    auto* button = new QPushButton(parent);
    if (hasSymbol(symbol))
        button->setIcon(symbolIcon(symbol));
    else
        button->setText(fallback); // a missing icon must not leave an empty button
    button->setAccessibleName(name);
    button->setToolTip(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

ValueSlider::ValueSlider(const QString& name, int minimum, int maximum, const QString& symbolLow,
                         const QString& symbolHigh, QWidget* parent)
    : QWidget(parent)
    , m_symbolLow(symbolLow)
    , m_symbolHigh(symbolHigh)
    , m_minus(stepButton(QStringLiteral("minus"), QStringLiteral("−"),
                         name + QStringLiteral(" −") + QString::number(stepSize), this))
    , m_low(new QLabel(this))
    , m_slider(new QSlider(Qt::Horizontal, this))
    , m_high(new QLabel(this))
    , m_plus(stepButton(QStringLiteral("plus"), QStringLiteral("+"),
                        name + QStringLiteral(" +") + QString::number(stepSize), this))
    , m_figures(new QLabel(this))
{
    m_slider->setRange(minimum, maximum);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(10);
    m_slider->setMinimumWidth(60);
    m_slider->setAccessibleName(name);
    takeWheelOnlyWithFocus(m_slider);
    m_figures->setObjectName(QStringLiteral("figures"));
    m_figures->setFont(Style::largeFigures());
    // Wide enough for the widest value, so that the slider does not move as the value changes.
    m_figures->setFixedWidth(
        QFontMetrics(m_figures->font()).horizontalAdvance(QString::number(maximum)) + 4);
    m_figures->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    row->addWidget(m_minus);
    row->addWidget(m_low);
    row->addWidget(m_slider, 1);
    row->addWidget(m_high);
    row->addWidget(m_plus);
    row->addWidget(m_figures);

    connect(m_minus, &QPushButton::clicked, this, [this] { emit stepRequested(-stepSize); });
    connect(m_plus, &QPushButton::clicked, this, [this] { emit stepRequested(stepSize); });
    connect(m_slider, &QSlider::sliderMoved, this, &ValueSlider::sliderMovedTo);
    connect(m_slider, &QSlider::sliderReleased, this, &ValueSlider::sliderReleased);
    connect(m_slider, &QSlider::valueChanged, this, &ValueSlider::sliderChangedBy);

    updateIcons();
    showValue();
}

void ValueSlider::setValue(std::optional<double> value)
{
    if (m_value == value)
        return;
    m_value = value;
    showValue();
}

void ValueSlider::setSymbolLow(const QString& symbol)
{
    if (m_symbolLow == symbol)
        return;
    m_symbolLow = symbol;
    updateIcons();
}

void ValueSlider::setSymbolHigh(const QString& symbol)
{
    if (m_symbolHigh == symbol)
        return;
    m_symbolHigh = symbol;
    updateIcons();
}

void ValueSlider::setDimmed(bool dimmed)
{
    if (m_dimmed == dimmed)
        return;
    m_dimmed = dimmed;
    showValue();
}

void ValueSlider::showValue()
{
    const std::optional<double> shown = shownValue();
    // An unknown value is no position: the figures say so, the handle stays where it was.
    m_figures->setText(shown ? QString::number(std::lround(*shown)) : QStringLiteral("–"));
    Style::setTone(m_figures, m_dimmed ? Style::Tone::secondary : Style::Tone::primary);
    if (!m_dragValue && shown) {
        m_syncing = true;
        m_slider->setValue(int(
            std::lround(qBound(double(m_slider->minimum()), *shown, double(m_slider->maximum())))));
        m_syncing = false;
    }
}

void ValueSlider::updateIcons()
{
    Style::setSymbol(m_low, m_symbolLow, iconSize, Style::Tone::secondary);
    Style::setSymbol(m_high, m_symbolHigh, iconSize, Style::Tone::secondary);
}

void ValueSlider::sliderMovedTo(int position)
{
    m_dragValue = position;
    showValue();
    emit valueRequested(position);
}

void ValueSlider::sliderReleased()
{
    m_dragValue.reset();
    showValue();
}

void ValueSlider::sliderChangedBy(int position)
{
    // Dragging is handled by sliderMoved; this catches the keyboard, the wheel and clicks
    // on the groove, which move the slider without a drag.
    if (m_syncing || m_slider->isSliderDown())
        return;
    emit valueRequested(position);
}
