#include "app/dashboard/ReportingCard.h"

#include "app/style/Style.h"
#include "app/widgets/Stepper.h"
#include "app/widgets/SwitchButton.h"
#include "controller/DisplayController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int minimumInterval = 1;
constexpr int maximumInterval = 60;

} // namespace

ReportingCard::ReportingCard(DisplayController& controller, QWidget* parent)
    : Card(QStringLiteral("R\u00FCckmeldungen"),
           QStringLiteral("antenna.radiowaves.left.and.right"), parent)
    , m_controller(controller)
    , m_reporting(new SwitchButton(this))
    , m_polling(new SwitchButton(this))
    , m_interval(new Stepper(minimumInterval, maximumInterval, 1, QStringLiteral("alle "),
                             QStringLiteral(" s"), this))
{
    contentLayout()->addWidget(
        switchRow(QStringLiteral("Statusmeldungen vom Display"),
                  QStringLiteral("Meldet \u00C4nderungen \u00FCber Fernbedienung/Bedienfeld "
                                 "sofort (#volume=\u2026)."),
                  m_reporting));
    contentLayout()->addWidget(switchRow(QStringLiteral("Zyklisch abfragen"),
                                         QStringLiteral("Betrieb, Quelle, Lautst\u00E4rke, "
                                                        "Stumm, Helligkeit"),
                                         m_polling));

    m_interval->setObjectName(QStringLiteral("pollIntervalStepper"));
    m_interval->setAccessibleName(QStringLiteral("Abfrage-Intervall"));
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_interval);
    intervalRow->addStretch(1);
    contentLayout()->addLayout(intervalRow);

    connect(m_reporting, &SwitchButton::clicked, this, [this](bool on) {
        m_controller.setStateReporting(on);
        refresh();
    });
    connect(m_polling, &SwitchButton::clicked, this, [this](bool on) {
        m_controller.setPollingEnabled(on);
        refresh();
    });
    connect(m_interval, &QSpinBox::valueChanged, this, [this](int seconds) {
        if (std::lround(m_controller.pollingInterval()) != seconds)
            m_controller.setPollingInterval(seconds);
    });
    for (auto signal :
         {&DisplayController::stateReportingChanged, &DisplayController::pollingEnabledChanged,
          &DisplayController::pollingIntervalChanged})
        connect(&controller, signal, this, &ReportingCard::refresh);
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
    m_reporting->setChecked(m_controller.display().stateReporting);
    m_polling->setChecked(m_controller.pollingEnabled());
    const QSignalBlocker quiet(m_interval);
    m_interval->setValue(int(std::lround(m_controller.pollingInterval())));
    m_interval->setEnabled(m_controller.pollingEnabled());
}
