#include "app/sidebar/StatisticsSection.h"

#include "app/sidebar/RelativeTime.h"
#include "app/style/Style.h"
#include "app/widgets/ElidedLabel.h"
#include "app/widgets/StatusLine.h"
#include "controller/DisplayController.h"

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
    : FormSection(QStringLiteral("Statistik"), parent)
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
    addRow(QStringLiteral("Gesendet"), m_sent);
    addRow(QStringLiteral("Empfangen"), m_received);
    addRow(QStringLiteral("Ohne Antwort"), m_timeouts);

    auto* dropoutsLayout = new QHBoxLayout(m_dropoutsRow);
    dropoutsLayout->setContentsMargins(0, 0, 0, 0);
    dropoutsLayout->addStretch(1);
    dropoutsLayout->addWidget(m_dropouts);
    dropoutsLayout->addWidget(m_latestDropout);
    Style::setTone(m_latestDropout, Style::Tone::secondary);
    addRow(QStringLiteral("Wandler-Abrisse"), m_dropoutsRow);

    m_repeatedDropouts = new StatusLine(QStringLiteral("exclamationmark.triangle.fill"),
                                        Style::Tone::orange, Style::caption(), this);
    m_repeatedDropouts->setObjectName(QStringLiteral("repeatedDropoutsLine"));
    m_repeatedDropouts->setText(QStringLiteral(
        "Mehrere Abrisse in 10 Minuten \u2013 Wackelkontakt am USB-C-Stecker oder Kabel "
        "wahrscheinlich."));
    addWidget(m_repeatedDropouts);

    m_resetDropouts = new QPushButton(QStringLiteral("Z\u00E4hler zur\u00FCcksetzen"), this);
    m_resetDropouts->setObjectName(QStringLiteral("resetDropoutsButton"));
    m_resetDropouts->setFont(Style::caption());
    m_resetDropouts->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    addWidget(m_resetDropouts);
    QObject::connect(m_resetDropouts, &QPushButton::clicked, &controller,
                     &DisplayController::resetDropouts);

    addRow(QStringLiteral("Letzte Antwort"), m_lastReply);

    m_tick.setInterval(tickMs);
    QObject::connect(&m_tick, &QTimer::timeout, this, [this] {
        refreshLastReply();
        setRowVisible(m_repeatedDropouts, m_controller.hasRepeatedDropouts());
    });

    QObject::connect(&controller, &DisplayController::txCountChanged, this,
                     &StatisticsSection::refreshCounters);
    QObject::connect(&controller, &DisplayController::rxCountChanged, this,
                     &StatisticsSection::refreshCounters);
    QObject::connect(&controller, &DisplayController::timeoutsChanged, this,
                     &StatisticsSection::refreshCounters);
    QObject::connect(&controller, &DisplayController::dropoutsChanged, this, [this] {
        refreshDropouts();
        updateTicking();
    });
    QObject::connect(&controller, &DisplayController::lastReplyChanged, this, [this] {
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
    m_sent->setText(locale.toString(m_controller.txCount()) + QStringLiteral(" Bytes"));
    m_received->setText(locale.toString(m_controller.rxCount()) + QStringLiteral(" Bytes"));
    m_timeouts->setText(locale.toString(m_controller.timeouts()));
}

void StatisticsSection::refreshDropouts()
{
    const QList<QDateTime>& dropouts = m_controller.dropouts().times();
    m_dropouts->setText(QLocale().toString(dropouts.size()));
    const bool any = !dropouts.isEmpty();
    if (any) {
        const QDateTime latest = *std::max_element(dropouts.begin(), dropouts.end());
        m_latestDropout->setText(QStringLiteral("zuletzt ") +
                                 latest.toLocalTime().time().toString(QStringLiteral("HH:mm:ss")));
    }
    m_latestDropout->setVisible(any);
    setRowVisible(m_repeatedDropouts, m_controller.hasRepeatedDropouts());
    setRowVisible(m_resetDropouts, any);
}

void StatisticsSection::refreshLastReply()
{
    const std::optional<QDateTime>& lastReply = m_controller.lastReply();
    setRowVisible(m_lastReply, lastReply.has_value());
    if (lastReply)
        m_lastReply->setText(relativeTimeText(lastReply->secsTo(QDateTime::currentDateTime())));
}

void StatisticsSection::updateTicking()
{
    if (isVisible() && (m_controller.lastReply() || !m_controller.dropouts().isEmpty()))
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
