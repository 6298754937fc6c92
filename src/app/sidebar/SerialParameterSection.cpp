#include "app/sidebar/SerialParameterSection.h"

#include "app/style/Style.h"
#include "app/widgets/ElidedLabel.h"
#include "app/widgets/Picker.h"
#include "app/widgets/WrappingButton.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "line/LineAddress.h"

#include <QPushButton>
#include <algorithm>

namespace {

// The picker's entries carry the enumeration's integer value.
template <typename Enum>
void fillCases(QComboBox* picker)
{
    for (const Enum value : allCases(Enum{}))
        picker->addItem(label(value), static_cast<int>(value));
}

template <typename Enum>
Enum chosen(const QComboBox* picker)
{
    return static_cast<Enum>(picker->currentData().toInt());
}

void select(QComboBox* picker, const QVariant& value)
{
    picker->setCurrentIndex(picker->findData(value));
}

} // namespace

SerialParameterSection::SerialParameterSection(DisplayController& controller, QWidget* parent)
    : FormSection(tr("Parameter"), parent)
    , m_controller(controller)
    , m_summary(new ElidedLabel(this))
{
    setObjectName(QStringLiteral("serialParameterSection"));
    m_summary->setObjectName(QStringLiteral("settingsSummary"));
    m_summary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Style::setTone(m_summary, Style::Tone::secondary);
    setHeaderAccessory(m_summary);

    using P = SerialParameter;
    m_baudRate = addPicker(parameterName(P::baudRate), QStringLiteral("baudRatePicker"));
    m_dataBits = addPicker(parameterName(P::dataBits), QStringLiteral("dataBitsPicker"));
    m_parity = addPicker(parameterName(P::parity), QStringLiteral("parityPicker"));
    m_stopBits = addPicker(parameterName(P::stopBits), QStringLiteral("stopBitsPicker"));
    m_flowControl = addPicker(parameterName(P::flowControl), QStringLiteral("flowControlPicker"));
    m_lineEnding = addPicker(parameterName(P::lineEnding), QStringLiteral("lineEndingPicker"));

    fillCases<SerialSettings::DataBits>(m_dataBits);
    fillCases<SerialSettings::Parity>(m_parity);
    fillCases<SerialSettings::StopBits>(m_stopBits);
    fillCases<SerialSettings::FlowControl>(m_flowControl);
    fillCases<SerialSettings::LineEnding>(m_lineEnding);

    m_standard = new WrappingButton(tr("SMART-Standard (19200 · 8N1 · CR)"), this);
    m_standard->setObjectName(QStringLiteral("smartStandardButton"));
    addWidget(m_standard);
    QObject::connect(m_standard, &QPushButton::clicked, this,
                     [this] { m_controller.line().setSettings(SerialSettings::smartStandard()); });

    QObject::connect(&controller.line(), &LineSession::settingsChanged, this,
                     &SerialParameterSection::refresh);
    QObject::connect(&controller.ports(), &PortList::selectedPathChanged, this,
                     &SerialParameterSection::refresh);
    refresh();
}

Picker* SerialParameterSection::addPicker(const QString& label, const QString& objectName)
{
    auto* picker = new Picker(this);
    picker->setObjectName(objectName);
    addRow(label, picker);
    QObject::connect(picker, &QComboBox::activated, this, &SerialParameterSection::applyPickers);
    return picker;
}

void SerialParameterSection::refresh()
{
    const SerialSettings& settings = m_controller.line().settings();
    m_summary->setText(settings.summary());

    m_baudRate->clear();
    QList<qint64> rates = SerialSettings::offeredBaudRates();
    // A rate stored by hand or by an older version stays visible instead of an empty picker.
    if (!rates.contains(settings.baudRate)) {
        rates.append(settings.baudRate);
        std::sort(rates.begin(), rates.end());
    }
    for (const qint64 rate : rates)
        m_baudRate->addItem(QString::number(rate), rate);
    select(m_baudRate, settings.baudRate);

    select(m_dataBits, static_cast<int>(settings.dataBits));
    select(m_parity, static_cast<int>(settings.parity));
    select(m_stopBits, static_cast<int>(settings.stopBits));
    select(m_flowControl, static_cast<int>(settings.flowControl));
    select(m_lineEnding, static_cast<int>(settings.lineEnding));

    setRowVisible(m_standard, settings != SerialSettings::smartStandard());

    // A raw TCP line carries bytes only: its gateway sets the serial side. The line ending
    // is Bildwart's own and stays.
    const LineAddress address = LineAddress::fromText(m_controller.ports().selectedPath());
    const bool rawTcp =
        address.isNetwork() && address.network().kind == NetworkAddress::Kind::rawTcp;
    for (Picker* picker : {m_baudRate, m_dataBits, m_parity, m_stopBits, m_flowControl}) {
        picker->setEnabled(!rawTcp);
        picker->setToolTip(rawTcp ? tr("Stellt am tcp://-Port das Gateway ein, nicht Bildwart.")
                                  : QString());
    }
    m_standard->setEnabled(!rawTcp);
    setFooter(rawTcp ? tr("Baudrate, Datenbits, Parität, Stoppbits und Flusssteuerung stellt am "
                          "tcp://-Port das Gateway ein.")
                     : tr("Änderungen gelten sofort, auch bei offener Verbindung."));
}

void SerialParameterSection::applyPickers()
{
    // Only the six line fields change; timing and control-line flags are kept.
    SerialSettings settings = m_controller.line().settings();
    settings.baudRate = m_baudRate->currentData().toLongLong();
    settings.dataBits = chosen<SerialSettings::DataBits>(m_dataBits);
    settings.parity = chosen<SerialSettings::Parity>(m_parity);
    settings.stopBits = chosen<SerialSettings::StopBits>(m_stopBits);
    settings.flowControl = chosen<SerialSettings::FlowControl>(m_flowControl);
    settings.lineEnding = chosen<SerialSettings::LineEnding>(m_lineEnding);
    m_controller.line().setSettings(settings);
}
