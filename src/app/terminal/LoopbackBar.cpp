#include "app/terminal/LoopbackBar.h"

#include "app/widgets/ConfirmationDialog.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/terminal/LoopbackBadge.h"
#include "app/widgets/FilledButton.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/Stepper.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/LineTester.h"
#include "controller/RemoteDisplay.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int itemSpacing = 18;
constexpr int sideMargin = 14;
constexpr int verticalMargin = 10;
constexpr qreal backgroundOpacity = 0.06;
constexpr int dividerHeight = 34;
constexpr int badgeMinimumWidth = 170;
// The sizes offered: up to 512 bytes in steps of 8, plenty to find a flaky plug or adapter.
constexpr int largestPacket = 512;
constexpr int packetStep = 8;

} // namespace

LoopbackBar::LoopbackBar(DisplayController& controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_packetSize(new Stepper(int(LoopbackStats::minPacketSize), largestPacket, packetStep, {},
                               tr(" Bytes"), this))
    , m_startStop(new QStackedWidget(this))
    , m_start(new FilledButton(tr("Test starten"), QStringLiteral("play.fill"), Style::Tone::accent,
                               m_startStop))
    , m_stop(
          new FilledButton(tr("Stopp"), QStringLiteral("stop.fill"), Style::Tone::red, m_startStop))
    , m_badgeIcon(new QLabel(this))
    , m_badgeText(new QLabel(this))
{
    auto* flow = new FlowLayout(this, itemSpacing, 8);
    flow->setContentsMargins(sideMargin, verticalMargin, sideMargin, verticalMargin);

    auto* plug = new QWidget(this);
    auto* plugLines = new QVBoxLayout(plug);
    plugLines->setContentsMargins(0, 0, 0, 0);
    plugLines->setSpacing(2);
    auto* pins = new QLabel(tr("Brückenstecker: Pin 2 ↔ Pin 3"), plug);
    QFont pinsFont = Style::subheadline();
    pinsFont.setWeight(QFont::DemiBold);
    pins->setFont(pinsFont);
    auto* flowPins = new QLabel(tr("(bei RTS/CTS zusätzlich Pin 7 ↔ 8)"), plug);
    Style::makeCaption(flowPins);
    plugLines->addWidget(pins);
    plugLines->addWidget(flowPins);
    flow->addWidget(plug);

    m_packetSize->setAccessibleName(tr("Paketgröße"));
    flow->addWidget(m_packetSize);
    // One place for both, as wide as the wider: the bar does not re-wrap when a run starts.
    m_startStop->addWidget(m_start);
    m_startStop->addWidget(m_stop);
    m_startStop->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    flow->addWidget(m_startStop);

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

    m_sent = addCell(flow, tr("Pakete"));
    m_ok = addCell(flow, tr("in Ordnung"));
    m_faulty = addCell(flow, tr("fehlerhaft"));
    m_lost = addCell(flow, tr("verloren"));
    m_latency = addCell(flow, tr("Laufzeit"));
    m_bytes = addCell(flow, tr("Bytes ↑/↓"));

    connect(m_packetSize, &Stepper::valueChanged, this, [this](int size) {
        LineTester::LoopbackOptions options = m_controller.tester().loopbackOptions();
        options.packetSize = size;
        m_controller.tester().setLoopbackOptions(options);
    });
    connect(m_start, &QPushButton::clicked, this, [this] {
        // Where a display answered, test packets are junk commands to it.
        if (!m_controller.display().state().displayAnswered()) {
            m_controller.tester().startLoopback();
            return;
        }
        openConfirmation(this,
                         {tr("Brückentest am Display?"),
                          tr("Auf dieser Leitung hat ein Display geantwortet. Der Brückentest "
                             "braucht einen Brückenstecker statt des Displays; das Display "
                             "bekäme nur ungültige Befehle."),
                          tr("Trotzdem testen")},
                         [this] { m_controller.tester().startLoopback(); }, {});
    });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_controller.tester().stopLoopback(); });
    connect(&controller.line(), &LineSession::connectionChanged, this,
            &LoopbackBar::refreshRunning);
    connect(&controller.tester(), &LineTester::loopbackChanged, this, [this] {
        refreshRunning();
        refreshStats();
    });
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
    Style::makeCaption(caption);
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
    const bool running = m_controller.tester().loopbackRunning();
    const QSignalBlocker quiet(m_packetSize);
    m_packetSize->setValue(int(m_controller.tester().loopbackOptions().packetSize));
    m_packetSize->setEnabled(!running);
    m_startStop->setCurrentWidget(running ? m_stop : m_start);
    m_start->setEnabled(m_controller.line().connection().is(ConnectionState::Case::connected));
}

void LoopbackBar::refreshStats()
{
    const LoopbackStats& stats = m_controller.tester().loopback();
    const LoopbackBadge badge = LoopbackBadge::of(stats);
    m_badgeText->setText(badge.text);
    Style::setTone(m_badgeText, badge.tone);
    Style::setSymbol(m_badgeIcon, badge.symbol, QFontMetrics(Style::headline()).height(),
                     badge.tone);

    using Tone = Style::Tone;
    const auto show = [](QLabel* label, const QString& text, Tone tone) {
        label->setText(text);
        Style::setTone(label, tone);
    };
    show(m_sent, QString::number(stats.sent), Tone::primary);
    show(m_ok, QString::number(stats.ok), Tone::green);
    show(m_faulty, QString::number(stats.faulty),
         stats.faulty > 0 ? Tone::orange : Tone::secondary);
    show(m_lost, QString::number(stats.lost), stats.lost > 0 ? Tone::red : Tone::secondary);
    show(m_latency, loopbackLatencyText(stats.lastLatency), Tone::primary);
    show(m_bytes, QString::number(stats.bytesSent) + u'/' + QString::number(stats.bytesReceived),
         Tone::primary);
}

void LoopbackBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor fill = Style::color(Style::Tone::accent, this);
    fill.setAlphaF(backgroundOpacity);
    painter.fillRect(rect(), fill);
}
