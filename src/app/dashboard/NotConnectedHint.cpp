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
    , m_headline(new QLabel(this))
    , m_text(new QLabel(this))
{
    auto* icon = new QLabel(this);
    Style::setSymbol(icon, QStringLiteral("cable.connector.slash"),
                     QFontMetrics(Style::title()).height(), Style::Tone::orange);
    m_headline->setObjectName(QStringLiteral("hintHeadline"));
    m_headline->setFont(Style::headline());
    m_text->setTextFormat(Qt::RichText);
    m_text->setWordWrap(true);
    m_text->setFont(Style::callout());
    Style::setTone(m_text, Style::Tone::secondary);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(m_headline);
    column->addWidget(m_text);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(padding, padding, padding, padding);
    row->setSpacing(12);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(column, 1);
    showNotConnected();
}

void NotConnectedHint::showNotConnected()
{
    m_headline->setText(tr("Nicht verbunden"));
    m_text->setText(tr("USB-Seriell-Adapter anstecken, links den Port wählen und „Verbinden“. "
                       "SMART QX/RX: 19200 · 8N1, <b>gerades</b> RS-232-Kabel (kein Nullmodem). "
                       "Ohne Hardware: Port „Simulator“ wählen."));
}

void NotConnectedHint::showResting(const QString& reason)
{
    m_headline->setText(tr("Die Bedienelemente senden gerade nichts"));
    m_text->setText(reason.toHtmlEscaped());
}

QString NotConnectedHint::headline() const
{
    return m_headline->text();
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
