#include "app/dashboard/MaintenanceCard.h"

#include "app/dashboard/ConfirmationDialog.h"
#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "controller/DisplayController.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString resetMessage(const QString& serialNumber)
{
    return QStringLiteral("Sendet \u201Eset factoryreset=") + serialNumber +
           QStringLiteral("\u201C. Alle Einstellungen des Displays gehen verloren.");
}

} // namespace

MaintenanceCard::MaintenanceCard(DisplayController& controller, QWidget* parent)
    : Card(QStringLiteral("Wartung & eigene Befehle"), QStringLiteral("wrench.and.screwdriver"),
           parent)
    , m_controller(controller)
    , m_command(new QLineEdit(this))
    , m_send(new QPushButton(QStringLiteral("Senden"), this))
    , m_reset(new QPushButton(
          symbolIcon(QStringLiteral("exclamationmark.arrow.circlepath"), Style::Tone::red),
          QStringLiteral("Werkseinstellungen \u2026"), this))
{
    m_command->setFont(Style::monospace());
    m_command->setPlaceholderText(QStringLiteral("z. B. get volume  \u00B7  set volume+5"));
    m_send->setAutoDefault(false);
    auto* commandRow = new QHBoxLayout;
    commandRow->setSpacing(8);
    commandRow->addWidget(m_command, 1);
    commandRow->addWidget(m_send);
    contentLayout()->addLayout(commandRow);

    auto* info = new QPushButton(QStringLiteral("Ger\u00E4teinfo abfragen"), this);
    auto* help = new QPushButton(QStringLiteral("Hilfe (get help)"), this);
    info->setAutoDefault(false);
    help->setAutoDefault(false);
    m_reset->setAutoDefault(false);
    m_reset->setToolTip(QStringLiteral("set factoryreset=<Seriennummer>"));
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
    connect(info, &QPushButton::clicked, this, [this] { m_controller.queryDeviceInfo(); });
    connect(help, &QPushButton::clicked, this,
            [this] { m_controller.send(QStringLiteral("get help")); });
    connect(m_reset, &QPushButton::clicked, this, &MaintenanceCard::askForReset);
    connect(&controller, &DisplayController::serialNumberChanged, this,
            &MaintenanceCard::refreshReset);
    m_send->setEnabled(false);
    refreshReset();
}

void MaintenanceCard::sendCommand()
{
    const QString command = m_command->text();
    if (command.isEmpty())
        return;
    m_controller.sendCustom(command);
    m_command->clear();
}

void MaintenanceCard::askForReset()
{
    if (m_dialog)
        return; // already asking
    m_confirmReset = true;
    const Confirmation confirmation{
        QStringLiteral("Display auf Werkseinstellungen zur\u00FCcksetzen?"),
        resetMessage(m_controller.display().serialNumber), QStringLiteral("Zur\u00FCcksetzen")};
    m_dialog = openConfirmation(
        this, confirmation, [this] { m_controller.factoryReset(); },
        [this] { m_confirmReset = false; });
}

void MaintenanceCard::refreshReset()
{
    const QString& serialNumber = m_controller.display().serialNumber;
    m_reset->setEnabled(!serialNumber.isEmpty());
    // The question must quote the number that the reset will send.
    if (m_dialog)
        m_dialog->setInformativeText(resetMessage(serialNumber));
}
