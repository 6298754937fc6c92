#include "app/dashboard/MaintenanceCard.h"

#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/ConfirmationDialog.h"
#include "app/widgets/FlowLayout.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString resetMessage(const QString& serialNumber)
{
    return MaintenanceCard::tr("Sendet „%1“. Alle Einstellungen des Displays gehen verloren.")
        .arg(SmartCommand::factoryReset(serialNumber));
}

} // namespace

MaintenanceCard::MaintenanceCard(DisplayController& controller, QWidget* parent)
    : Card(tr("Wartung & eigene Befehle"), QStringLiteral("wrench.and.screwdriver"), parent)
    , m_controller(controller)
    , m_command(new QLineEdit(this))
    , m_send(new QPushButton(tr("Senden"), this))
    , m_reset(new QPushButton(
          symbolIcon(QStringLiteral("exclamationmark.arrow.circlepath"), Style::Tone::red),
          tr("Werkseinstellungen …"), this))
{
    m_command->setFont(Style::monospace());
    m_command->setPlaceholderText(tr("z. B. get volume  ·  set volume+5"));
    m_send->setAutoDefault(false);
    auto* commandRow = new QHBoxLayout;
    commandRow->setSpacing(8);
    commandRow->addWidget(m_command, 1);
    commandRow->addWidget(m_send);
    contentLayout()->addLayout(commandRow);

    auto* info = new QPushButton(tr("Geräteinfo abfragen"), this);
    auto* help = new QPushButton(tr("Hilfe (get help)"), this);
    info->setAutoDefault(false);
    help->setAutoDefault(false);
    m_reset->setAutoDefault(false);
    m_reset->setToolTip(SmartCommand::factoryReset(tr("<Seriennummer>")));
    Style::makeDestructive(m_reset);
    auto* actions = new FlowLayout(nullptr, 8, 8);
    actions->setLastItemTrailing(true);
    actions->addWidget(info);
    actions->addWidget(help);
    actions->addWidget(m_reset);
    contentLayout()->addLayout(actions);
    QWidget::setTabOrder(help, m_reset); // made first, shown last

    connect(m_command, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_send->setEnabled(!text.isEmpty()); });
    connect(m_command, &QLineEdit::returnPressed, this, &MaintenanceCard::sendCommand);
    connect(m_send, &QPushButton::clicked, this, &MaintenanceCard::sendCommand);
    connect(info, &QPushButton::clicked, this, [this] { m_controller.pump().queryDeviceInfo(); });
    connect(help, &QPushButton::clicked, this,
            [this] { m_controller.pump().send(SmartCommand::help()); });
    connect(m_reset, &QPushButton::clicked, this, &MaintenanceCard::askForReset);
    connect(&controller.display(), &RemoteDisplay::changed, this, &MaintenanceCard::refreshReset);
    m_send->setEnabled(false);
    refreshReset();
}

void MaintenanceCard::sendCommand()
{
    const QString command = m_command->text();
    if (command.isEmpty())
        return;
    m_controller.pump().sendCustom(command);
    m_command->clear();
}

void MaintenanceCard::askForReset()
{
    if (m_dialog)
        return; // already asking
    m_confirmReset = true;
    const Confirmation confirmation{tr("Display auf Werkseinstellungen zurücksetzen?"),
                                    resetMessage(liveSerialNumber()), tr("Zurücksetzen")};
    m_dialog = openConfirmation(
        this, confirmation, [this] { m_controller.display().factoryReset(); },
        [this] { m_confirmReset = false; });
}

QString MaintenanceCard::liveSerialNumber() const
{
    // The reset names the display it resets: only this line's display's own number will do.
    const DisplayState& state = m_controller.display().state();
    if (state.standing(DisplaySetting::serialNumber) != DisplayState::Standing::live)
        return {};
    return state.text(DisplaySetting::serialNumber).value_or(QString());
}

void MaintenanceCard::refreshReset()
{
    const QString serialNumber = liveSerialNumber();
    m_reset->setEnabled(!serialNumber.isEmpty());
    // The question must quote the number that the reset will send.
    if (m_dialog)
        m_dialog->setInformativeText(resetMessage(serialNumber));
}
