#include "app/dashboard/NotConnectedHint.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr int padding = 14;
constexpr qreal cornerRadius = 12;
constexpr qreal backgroundOpacity = 0.10;

} // namespace

NotConnectedHint::NotConnectedHint(QWidget* parent)
    : QWidget(parent)
{
    auto* icon = new QLabel(this);
    Style::setSymbol(icon, QStringLiteral("cable.connector.slash"),
                     QFontMetrics(Style::title()).height(), Style::Tone::orange);

    auto* headline = new QLabel(QStringLiteral("Nicht verbunden"), this);
    headline->setFont(Style::headline());
    auto* text = new QLabel(this);
    text->setTextFormat(Qt::RichText);
    text->setText(QStringLiteral(
        "USB-Seriell-Adapter anstecken, links den Port w\u00E4hlen und \u201EVerbinden\u201C. "
        "SMART QX/RX: 19200 \u00B7 8N1, <b>gerades</b> RS-232-Kabel (kein Nullmodem). "
        "Ohne Hardware: Port \u201ESimulator\u201C w\u00E4hlen."));
    text->setWordWrap(true);
    text->setFont(Style::callout());
    Style::setTone(text, Style::Tone::secondary);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(headline);
    column->addWidget(text);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(12);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(column, 1);
}

void NotConnectedHint::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Style::color(Style::Tone::orange, this);
    fill.setAlphaF(backgroundOpacity);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill);
}
