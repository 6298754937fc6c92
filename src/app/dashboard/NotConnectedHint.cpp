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
    showNotConnected(Line::none);
}

void NotConnectedHint::showNotConnected(Line line)
{
    m_headline->setText(tr("Nicht verbunden"));
    const QString cable = tr("SMART QX/RX: 19200 · 8N1, <b>gerades</b> RS-232-Kabel (kein "
                             "Nullmodem).");
    switch (line) {
    case Line::network:
        m_text->setText(tr("Links „Verbinden“: Bildwart erreicht das Display über das Gateway im "
                           "Netzwerk. Am Gateway: ") +
                        cable);
        return;
    case Line::simulator:
        m_text->setText(tr("Links „Verbinden“ – der Simulator braucht keine Hardware."));
        return;
    case Line::device:
        m_text->setText(tr("Links „Verbinden“. ") + cable);
        return;
    case Line::none:
        break;
    }
    m_text->setText(tr("USB-Seriell-Adapter anstecken, links den Port wählen und „Verbinden“. ") +
                    cable + tr(" Ohne Hardware: Port „Simulator“ wählen."));
}

void NotConnectedHint::showFailed(const QString& reason)
{
    m_headline->setText(tr("Verbindung fehlgeschlagen"));
    m_text->setText(reason.toHtmlEscaped());
}

void NotConnectedHint::showWaiting(Line line)
{
    m_headline->setText(line == Line::network ? tr("Gateway nicht erreichbar")
                                              : tr("Wandler nicht da"));
    m_text->setText(line == Line::network
                        ? tr("Bildwart versucht es weiter und verbindet sich selbst, sobald das "
                             "Display über das Gateway wieder antwortet.")
                        : tr("Bildwart verbindet sich selbst, sobald der USB-Seriell-Adapter "
                             "wieder steckt."));
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

QString NotConnectedHint::text() const
{
    return m_text->text();
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
