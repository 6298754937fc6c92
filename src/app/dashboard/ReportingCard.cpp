#include "app/dashboard/ReportingCard.h"

#include "app/dashboard/CommandStatus.h"
#include "app/style/Style.h"
#include "app/widgets/Stepper.h"
#include "app/widgets/SwitchButton.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int minimumInterval = 1;
constexpr int maximumInterval = 60;

} // namespace

ReportingCard::ReportingCard(DisplayController& controller, QWidget* parent)
    : Card(tr("Rückmeldungen"), QStringLiteral("antenna.radiowaves.left.and.right"), parent)
    , m_controller(controller)
    , m_reporting(new SwitchButton(this))
    , m_polling(new SwitchButton(this))
    , m_interval(new Stepper(minimumInterval, maximumInterval, 1, tr("alle "), tr(" s"), this))
{
    contentLayout()->addWidget(switchRow(
        tr("Statusmeldungen vom Display"),
        tr("Meldet Änderungen über Fernbedienung/Bedienfeld sofort (#volume=…)."), m_reporting));
    contentLayout()->addWidget(
        new CommandStatus(controller, {DisplaySetting::stateReporting}, this));
    contentLayout()->addWidget(switchRow(
        tr("Zyklisch abfragen"), tr("Betrieb, Quelle, Lautstärke, Stumm, Helligkeit"), m_polling));

    m_interval->setObjectName(QStringLiteral("pollIntervalStepper"));
    m_interval->setAccessibleName(tr("Abfrage-Intervall"));
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_interval);
    intervalRow->addStretch(1);
    contentLayout()->addLayout(intervalRow);

    connect(m_reporting, &SwitchButton::clicked, this, [this](bool on) {
        m_controller.display().setSwitch(DisplaySetting::stateReporting, on);
        refresh();
    });
    CommandPump& pump = controller.pump();
    connect(m_polling, &SwitchButton::clicked, this, [this](bool on) {
        CommandPump::Polling polling = m_controller.pump().polling();
        polling.enabled = on;
        m_controller.pump().setPolling(polling);
        refresh();
    });
    connect(m_interval, &QSpinBox::valueChanged, this, [this](int seconds) {
        CommandPump::Polling polling = m_controller.pump().polling();
        if (std::lround(polling.interval) == seconds)
            return;
        polling.interval = seconds;
        m_controller.pump().setPolling(polling);
    });
    connect(&controller.display(), &RemoteDisplay::changed, this, &ReportingCard::refresh);
    connect(&pump, &CommandPump::pollingChanged, this, &ReportingCard::refresh);
    refresh();
}

QWidget* ReportingCard::switchRow(const QString& title, const QString& caption,
                                  SwitchButton* toggle)
{
    auto* row = new QWidget(this);
    auto* titleLabel = new QLabel(title, row);
    auto* captionLabel = new QLabel(caption, row);
    captionLabel->setWordWrap(true);
    Style::makeCaption(captionLabel);
    // The switch has no text of its own: its row's title names it.
    toggle->setAccessibleName(title);
    toggle->setToolTip(title);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(titleLabel);
    texts->addWidget(captionLabel);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addLayout(texts, 1);
    layout->addWidget(toggle, 0, Qt::AlignVCenter);
    return row;
}

void ReportingCard::refresh()
{
    const CommandPump::Polling& polling = m_controller.pump().polling();
    m_reporting->setChecked(
        m_controller.display().state().toggle(DisplaySetting::stateReporting).value_or(false));
    m_polling->setChecked(polling.enabled);
    const QSignalBlocker quiet(m_interval);
    m_interval->setValue(int(std::lround(polling.interval)));
    m_interval->setEnabled(polling.enabled);
}
