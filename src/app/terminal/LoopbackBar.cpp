#include "app/terminal/LoopbackBar.h"

#include "app/Icons.h"
#include "app/Style.h"
#include "app/terminal/LoopbackBadge.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/Stepper.h"
#include "controller/DisplayController.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int itemSpacing = 18;
constexpr int sideMargin = 14;
constexpr int verticalMargin = 10;
constexpr qreal backgroundOpacity = 0.06;
constexpr int dividerHeight = 34;
constexpr int badgeMinimumWidth = 170;
constexpr int buttonIconSize = 14;
// The sizes offered: up to 512 bytes in steps of 8, plenty to find a flaky plug or adapter.
constexpr int largestPacket = 512;
constexpr int packetStep = 8;

QColor toneColor(LoopbackBadge::Tone tone, const QWidget* widget)
{
    switch (tone) {
    case LoopbackBadge::Tone::green:
        return Style::green();
    case LoopbackBadge::Tone::red:
        return Style::red();
    case LoopbackBadge::Tone::orange:
        return Style::orange();
    case LoopbackBadge::Tone::secondary:
        break;
    }
    return Style::secondaryText(widget);
}

QPushButton* prominentButton(const QString& text, const QString& symbol, const QColor& color,
                             QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    const QPixmap icon = symbolPixmap(symbol, buttonIconSize, Qt::white);
    if (!icon.isNull())
        button->setIcon(QIcon(icon));
    button->setAutoDefault(false);
    Style::makeProminent(button, color);
    return button;
}

} // namespace

LoopbackBar::LoopbackBar(DisplayController& controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_packetSize(new Stepper(int(LoopbackStats::minPacketSize), largestPacket, packetStep, {},
                               QStringLiteral(" Bytes"), this))
    , m_start(prominentButton(QStringLiteral("Test starten"), QStringLiteral("play.fill"),
                              Style::tint(), this))
    , m_stop(
          prominentButton(QStringLiteral("Stopp"), QStringLiteral("stop.fill"), Style::red(), this))
    , m_badgeIcon(new QLabel(this))
    , m_badgeText(new QLabel(this))
{
    auto* flow = new FlowLayout(this, itemSpacing, 8);
    flow->setContentsMargins(sideMargin, verticalMargin, sideMargin, verticalMargin);

    auto* plug = new QWidget(this);
    auto* plugLines = new QVBoxLayout(plug);
    plugLines->setContentsMargins(0, 0, 0, 0);
    plugLines->setSpacing(2);
    auto* pins = new QLabel(QStringLiteral("Br\u00FCckenstecker: Pin 2 \u2194 Pin 3"), plug);
    QFont pinsFont = Style::subheadline();
    pinsFont.setWeight(QFont::DemiBold);
    pins->setFont(pinsFont);
    auto* flowPins =
        new QLabel(QStringLiteral("(bei RTS/CTS zus\u00E4tzlich Pin 7 \u2194 8)"), plug);
    Style::makeCaption(flowPins, Style::secondaryText(this));
    plugLines->addWidget(pins);
    plugLines->addWidget(flowPins);
    flow->addWidget(plug);

    flow->addWidget(m_packetSize);
    flow->addWidget(m_start);
    flow->addWidget(m_stop);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    divider->setFixedHeight(dividerHeight);
    flow->addWidget(divider);

    auto* badge = new QWidget(this);
    badge->setMinimumWidth(badgeMinimumWidth);
    auto* badgeRow = new QHBoxLayout(badge);
    badgeRow->setContentsMargins(0, 0, 0, 0);
    badgeRow->setSpacing(6);
    badgeRow->addWidget(m_badgeIcon);
    badgeRow->addWidget(m_badgeText);
    badgeRow->addStretch(1);
    m_badgeText->setFont(Style::headline());
    flow->addWidget(badge);

    m_sent = addCell(flow, QStringLiteral("Pakete"));
    m_ok = addCell(flow, QStringLiteral("in Ordnung"));
    m_faulty = addCell(flow, QStringLiteral("fehlerhaft"));
    m_lost = addCell(flow, QStringLiteral("verloren"));
    m_latency = addCell(flow, QStringLiteral("Laufzeit"));
    m_bytes = addCell(flow, QStringLiteral("Bytes \u2191/\u2193"));

    connect(m_packetSize, &Stepper::valueChanged, this,
            [this](int size) { m_controller.setLoopbackPacketSize(size); });
    connect(m_start, &QPushButton::clicked, this, [this] { m_controller.startLoopback(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_controller.stopLoopback(); });
    connect(&controller, &DisplayController::loopbackRunningChanged, this,
            &LoopbackBar::refreshRunning);
    connect(&controller, &DisplayController::connectionChanged, this, &LoopbackBar::refreshRunning);
    connect(&controller, &DisplayController::loopbackPacketSizeChanged, this,
            &LoopbackBar::refreshRunning);
    connect(&controller, &DisplayController::loopbackChanged, this, &LoopbackBar::refreshStats);
    refreshRunning();
    refreshStats();
}

QLabel* LoopbackBar::addCell(FlowLayout* flow, const QString& title)
{
    auto* cell = new QWidget(this);
    auto* lines = new QVBoxLayout(cell);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(1);
    auto* caption = new QLabel(title, cell);
    Style::makeCaption(caption, Style::secondaryText(this));
    auto* value = new QLabel(cell);
    value->setFont(Style::headline());
    lines->addWidget(caption);
    lines->addWidget(value);
    flow->addWidget(cell);
    return value;
}

QString LoopbackBar::badgeText() const
{
    return m_badgeText->text();
}

void LoopbackBar::refreshRunning()
{
    const bool running = m_controller.loopbackRunning();
    const QSignalBlocker quiet(m_packetSize);
    m_packetSize->setValue(int(m_controller.loopbackPacketSize()));
    m_packetSize->setEnabled(!running);
    m_start->setVisible(!running);
    m_start->setEnabled(m_controller.connection().is(ConnectionState::Case::connected));
    m_stop->setVisible(running);
}

void LoopbackBar::refreshStats()
{
    const LoopbackStats& stats = m_controller.loopback();
    const LoopbackBadge badge = LoopbackBadge::of(stats);
    const QColor color = toneColor(badge.tone, this);
    m_badgeText->setText(badge.text);
    Style::setTextColor(m_badgeText, color);
    m_badgeIcon->setPixmap(
        symbolPixmap(badge.symbol, QFontMetrics(Style::headline()).height(), color));

    const QColor primary = palette().color(QPalette::WindowText);
    const QColor secondary = Style::secondaryText(this);
    const auto show = [](QLabel* label, const QString& text, const QColor& color) {
        label->setText(text);
        Style::setTextColor(label, color);
    };
    show(m_sent, QString::number(stats.sent), primary);
    show(m_ok, QString::number(stats.ok), Style::green());
    show(m_faulty, QString::number(stats.faulty), stats.faulty > 0 ? Style::orange() : secondary);
    show(m_lost, QString::number(stats.lost), stats.lost > 0 ? Style::red() : secondary);
    show(m_latency, loopbackLatencyText(stats.lastLatency), primary);
    show(m_bytes, QString::number(stats.bytesSent) + u'/' + QString::number(stats.bytesReceived),
         primary);
}

void LoopbackBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor fill = Style::tint();
    fill.setAlphaF(backgroundOpacity);
    painter.fillRect(rect(), fill);
}
