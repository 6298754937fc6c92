#include "app/sidebar/StatisticsSection.h"

#include "app/style/Style.h"
#include "app/widgets/ElidedLabel.h"
#include "app/widgets/RelativeTime.h"
#include "app/widgets/StatusLine.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/TrafficLog.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <algorithm>

namespace {

// The relative age of the last reply is shown in whole seconds; the dropout warning's
// ten-minute window moves on the same beat.
constexpr int tickMs = 1000;

ElidedLabel* valueLabel(const QString& objectName, QWidget* parent)
{
    auto* label = new ElidedLabel(parent);
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

StatisticsSection::StatisticsSection(DisplayController& controller, QWidget* parent)
    : FormSection(tr("Statistik"), parent)
    , m_controller(controller)
    , m_sent(valueLabel(QStringLiteral("txCountValue"), this))
    , m_received(valueLabel(QStringLiteral("rxCountValue"), this))
    , m_timeouts(valueLabel(QStringLiteral("timeoutsValue"), this))
    , m_dropoutsRow(new QWidget(this))
    , m_dropouts(valueLabel(QStringLiteral("dropoutsValue"), m_dropoutsRow))
    , m_latestDropout(valueLabel(QStringLiteral("latestDropout"), m_dropoutsRow))
    , m_lastReply(valueLabel(QStringLiteral("lastReplyValue"), this))
{
    setObjectName(QStringLiteral("statisticsSection"));
    addRow(tr("Gesendet"), m_sent);
    addRow(tr("Empfangen"), m_received);
    addRow(tr("Ohne Antwort"), m_timeouts);

    auto* dropoutsLayout = new QHBoxLayout(m_dropoutsRow);
    dropoutsLayout->setContentsMargins(0, 0, 0, 0);
    dropoutsLayout->addStretch(1);
    dropoutsLayout->addWidget(m_dropouts);
    dropoutsLayout->addWidget(m_latestDropout);
    Style::setTone(m_latestDropout, Style::Tone::secondary);
    addRow(tr("Wandler-Abrisse"), m_dropoutsRow);

    m_repeatedDropouts = new StatusLine(QStringLiteral("exclamationmark.triangle.fill"),
                                        Style::Tone::orange, Style::caption(), this);
    m_repeatedDropouts->setObjectName(QStringLiteral("repeatedDropoutsLine"));
    addWidget(m_repeatedDropouts);

    m_resetDropouts = new QPushButton(tr("Zähler zurücksetzen"), this);
    m_resetDropouts->setObjectName(QStringLiteral("resetDropoutsButton"));
    m_resetDropouts->setFont(Style::caption());
    m_resetDropouts->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    addWidget(m_resetDropouts);
    QObject::connect(m_resetDropouts, &QPushButton::clicked, &controller.line(),
                     &LineSession::resetDropouts);

    addRow(tr("Letzte Antwort"), m_lastReply);

    m_tick.setInterval(tickMs);
    QObject::connect(&m_tick, &QTimer::timeout, this, [this] {
        refreshLastReply();
        setRowVisible(m_repeatedDropouts, m_controller.line().hasRepeatedDropouts());
    });

    QObject::connect(&controller.log(), &TrafficLog::countersChanged, this,
                     &StatisticsSection::refreshCounters);
    QObject::connect(&controller.line(), &LineSession::dropoutsChanged, this, [this] {
        refreshDropouts();
        updateTicking();
    });
    QObject::connect(&controller.line(), &LineSession::hearingChanged, this, [this] {
        refreshLastReply();
        updateTicking();
    });

    refreshCounters();
    refreshDropouts();
    refreshLastReply();
}

void StatisticsSection::refreshCounters()
{
    const QLocale locale;
    const TrafficLog::Counters& counters = m_controller.log().counters();
    m_sent->setText(tr("%1 Bytes").arg(locale.toString(counters.tx)));
    m_received->setText(tr("%1 Bytes").arg(locale.toString(counters.rx)));
    m_timeouts->setText(locale.toString(counters.timeouts));
}

void StatisticsSection::refreshDropouts()
{
    const QList<QDateTime>& dropouts = m_controller.line().dropouts().times();
    m_dropouts->setText(QLocale().toString(dropouts.size()));
    const bool any = !dropouts.isEmpty();
    if (any) {
        const QDateTime latest = *std::max_element(dropouts.begin(), dropouts.end());
        m_latestDropout->setText(
            tr("zuletzt %1").arg(latest.toLocalTime().time().toString(QStringLiteral("HH:mm:ss"))));
    }
    m_latestDropout->setVisible(any);
    // The advice follows the line: a loose plug for an adapter, the network for a gateway.
    m_repeatedDropouts->setText(
        m_controller.line().isNetwork()
            ? tr("Mehrere Abrisse in 10 Minuten – Netz, Gateway und dessen serielles Kabel "
                 "prüfen.")
            : tr("Mehrere Abrisse in 10 Minuten – Wackelkontakt am USB-C-Stecker oder Kabel "
                 "wahrscheinlich."));
    setRowVisible(m_repeatedDropouts, m_controller.line().hasRepeatedDropouts());
    setRowVisible(m_resetDropouts, any);
}

void StatisticsSection::refreshLastReply()
{
    const std::optional<QDateTime>& lastReply = m_controller.line().lastReceived();
    setRowVisible(m_lastReply, lastReply.has_value());
    if (lastReply)
        m_lastReply->setText(relativeTimeText(lastReply->secsTo(QDateTime::currentDateTime())));
}

void StatisticsSection::updateTicking()
{
    if (isVisible() &&
        (m_controller.line().lastReceived() || !m_controller.line().dropouts().isEmpty()))
        m_tick.start();
    else
        m_tick.stop();
}

void StatisticsSection::showEvent(QShowEvent* event)
{
    FormSection::showEvent(event);
    refreshLastReply();
    updateTicking();
}

void StatisticsSection::hideEvent(QHideEvent* event)
{
    FormSection::hideEvent(event);
    m_tick.stop();
}
