#include "app/sidebar/PortSection.h"

#include "app/sidebar/NetworkAddressDialog.h"
#include "app/sidebar/PortDoctorDialog.h"
#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/ConfirmationDialog.h"
#include "app/widgets/FilledButton.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/Picker.h"
#include "app/widgets/StatusLine.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "line/LineAddress.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int detailRole = Qt::UserRole + 1;
// Marks the entry added for a selected path that the scan did not list.
constexpr int unlistedRole = Qt::UserRole + 2;
// Marks the last entry, which asks for a network address instead of naming a port.
constexpr int asksAddressRole = Qt::UserRole + 3;

// Draws a port entry of the open picker as its name with the detail line under it.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        QApplication::style()->drawControl(QStyle::CE_ItemViewItem, &background, painter,
                                           option.widget);

        const bool selected = option.state & QStyle::State_Selected;
        const QRect area = option.rect.adjusted(8, 3, -8, -3);
        const QFont nameFont = option.font;
        const QFont detailFont = Style::caption();
        const int nameHeight = QFontMetrics(nameFont).height();

        painter->save();
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(nameFont);
        painter->drawText(area.adjusted(0, 0, 0, -(area.height() - nameHeight)),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(nameFont).elidedText(index.data().toString(), Qt::ElideRight,
                                                            area.width()));
        painter->setFont(detailFont);
        painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                                 : Style::secondaryText(option.widget));
        painter->drawText(
            area.adjusted(0, nameHeight, 0, 0), Qt::AlignLeft | Qt::AlignTop,
            QFontMetrics(detailFont)
                .elidedText(index.data(detailRole).toString(), Qt::ElideRight, area.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QFontMetrics name(option.font);
        const QFontMetrics detail(Style::caption());
        const int width = std::max(name.horizontalAdvance(index.data().toString()),
                                   detail.horizontalAdvance(index.data(detailRole).toString()));
        return {width + 16, name.height() + detail.height() + 6};
    }
};

QPushButton* makeButton(const QString& text, const QIcon& icon, const QString& objectName,
                        QWidget* parent)
{
    auto* button = new QPushButton(icon, text, parent);
    button->setObjectName(objectName);
    button->setAutoDefault(false);
    return button;
}

} // namespace

PortSection::PortSection(DisplayController& controller, QWidget* parent)
    : FormSection(tr("Schnittstelle"), parent, Rows::underLabels)
    , m_controller(controller)
    , m_picker(new Picker(this))
{
    setObjectName(QStringLiteral("portSection"));

    m_picker->setObjectName(QStringLiteral("portPicker"));
    m_picker->setItemDelegate(new PortItemDelegate(m_picker));
    m_picker->setPlaceholderText(tr("Port wählen …"));
    // Port names are long ("Simulator (virtuelles SMART-Display)"): the picker gets the width.
    addRow(tr("Port"), m_picker);
    QObject::connect(m_picker, &QComboBox::activated, this, [this](int index) {
        if (m_picker->itemData(index, asksAddressRole).toBool())
            askForNetworkAddress();
        else
            choose(m_picker->itemData(index).toString());
    });

    using Tone = Style::Tone;
    m_noAdapter = new StatusLine(QStringLiteral("cable.connector.slash"), Tone::orange,
                                 Style::caption(), this);
    m_noAdapter->setObjectName(QStringLiteral("noAdapterLine"));
    m_noAdapter->setText(SerialPortInfo::noAdapterText());
    addWidget(m_noAdapter);

    m_internalPort = new StatusLine(QStringLiteral("exclamationmark.triangle"), Tone::red,
                                    Style::caption(), this);
    m_internalPort->setObjectName(QStringLiteral("internalPortLine"));
    m_internalPort->setText(SerialPortInfo::internalPortWarning());
    addWidget(m_internalPort);

    m_detail = new StatusLine(QString(), Tone::secondary,
                              Style::monospace(Style::caption().pointSizeF()), this);
    m_detail->setObjectName(QStringLiteral("portDetail"));
    addWidget(m_detail);

    // A remembered network address that is not in use can go from the list.
    m_forget = new QLabel(tr("<a href=\"forget\">Adresse aus der Liste nehmen</a>"), this);
    m_forget->setObjectName(QStringLiteral("forgetAddress"));
    m_forget->setTextFormat(Qt::RichText);
    m_forget->setFont(Style::caption());
    m_forget->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_forget->setFocusPolicy(Qt::StrongFocus);
    QObject::connect(m_forget, &QLabel::linkActivated, this, [this] {
        m_controller.ports().forgetNetworkAddress(m_controller.ports().selectedPath());
    });
    addWidget(m_forget);

    // The doctor's first finding about the selected port, and the way to all of them.
    m_doctor = new QWidget(this);
    m_doctor->setObjectName(QStringLiteral("portDoctor"));
    auto* doctorLayout = new QVBoxLayout(m_doctor);
    doctorLayout->setContentsMargins(0, 0, 0, 0);
    doctorLayout->setSpacing(1);
    m_doctorDetails = new QLabel(tr("<a href=\"details\">Details …</a>"), m_doctor);
    m_doctorDetails->setObjectName(QStringLiteral("portDoctorDetails"));
    m_doctorDetails->setTextFormat(Qt::RichText);
    m_doctorDetails->setFont(Style::caption());
    m_doctorDetails->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                             Qt::LinksAccessibleByKeyboard);
    m_doctorDetails->setFocusPolicy(Qt::StrongFocus);
    m_doctorDetails->setAccessibleName(tr("Details zur Port-Diagnose"));
    m_doctorDetails->setToolTip(tr("Alle Befunde zu diesem Port mit ihrer Abhilfe"));
    // Under the finding's text, not under its symbol.
    m_doctorDetails->setContentsMargins(QFontMetrics(Style::caption()).height() + 5, 0, 0, 0);
    doctorLayout->addWidget(m_doctorDetails, 0, Qt::AlignLeft);
    QObject::connect(m_doctorDetails, &QLabel::linkActivated, this,
                     &PortSection::showDoctorDetails);
    addWidget(m_doctor);

    m_adapters = new QWidget(this);
    m_adapters->setObjectName(QStringLiteral("unboundAdapters"));
    m_adapterLayout = new QVBoxLayout(m_adapters);
    m_adapterLayout->setContentsMargins(0, 0, 0, 0);
    addWidget(m_adapters);

    m_autoReconnect = new QCheckBox(tr("Automatisch verbinden"), this);
    m_autoReconnect->setObjectName(QStringLiteral("autoReconnectToggle"));
    auto* autoReconnectHint =
        new QLabel(tr("Beim Start und nach Abziehen/Wackler von selbst wieder verbinden"), this);
    autoReconnectHint->setWordWrap(true);
    Style::makeCaption(autoReconnectHint);
    // Under the toggle's text, not under its box.
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    autoReconnectHint->setContentsMargins(indicator, 0, 0, 0);
    auto* toggleBlock = new QWidget(this);
    auto* toggleLayout = new QVBoxLayout(toggleBlock);
    toggleLayout->setContentsMargins(0, 4, 0, 0);
    toggleLayout->setSpacing(1);
    toggleLayout->addWidget(m_autoReconnect);
    toggleLayout->addWidget(autoReconnectHint);
    addWidget(toggleBlock);
    QObject::connect(m_autoReconnect, &QCheckBox::toggled, &controller.line(),
                     &LineSession::setAutoReconnect);

    m_waiting = new StatusLine(QStringLiteral("hourglass"), Tone::orange, Style::caption(), this);
    m_waiting->setObjectName(QStringLiteral("waitingLine"));
    addWidget(m_waiting);
    m_failed = new StatusLine(QStringLiteral("exclamationmark.triangle.fill"), Tone::red,
                              Style::caption(), this);
    m_failed->setObjectName(QStringLiteral("failedLine"));
    addWidget(m_failed);

    // The action at the end of the row; on a second row when the column is too narrow.
    auto* buttons = new QWidget(this);
    auto* buttonLayout = new FlowLayout(buttons, 8, 6);
    buttonLayout->setContentsMargins(0, 4, 0, 0);
    buttonLayout->setLastItemTrailing(true);
    m_refresh =
        makeButton(tr("Neu suchen"), symbolIcon(QStringLiteral("arrow.triangle.2.circlepath")),
                   QStringLiteral("refreshPortsButton"), buttons);
    m_stopWaiting =
        makeButton(tr("Nicht mehr warten"), symbolIcon(QStringLiteral("xmark.circle"), Tone::red),
                   QStringLiteral("stopWaitingButton"), buttons);
    m_disconnect =
        makeButton(tr("Trennen"), symbolIcon(QStringLiteral("bolt.horizontal.circle"), Tone::red),
                   QStringLiteral("disconnectButton"), buttons);
    m_connect = new FilledButton(tr("Verbinden"), QStringLiteral("bolt.horizontal.circle.fill"),
                                 Tone::accent, buttons);
    m_connect->setObjectName(QStringLiteral("connectButton"));
    Style::makeDestructive(m_stopWaiting);
    Style::makeDestructive(m_disconnect);
    buttonLayout->addWidget(m_refresh);
    buttonLayout->addWidget(m_stopWaiting);
    buttonLayout->addWidget(m_disconnect);
    buttonLayout->addWidget(m_connect);
    addWidget(buttons);

    // A search by hand also asks the doctor again: the user may just have fixed the cause.
    QObject::connect(m_refresh, &QPushButton::clicked, this, [this] {
        m_controller.ports().refresh();
        refreshDoctor();
    });
    QObject::connect(m_stopWaiting, &QPushButton::clicked, this,
                     [this] { m_controller.disconnectLine(); });
    QObject::connect(m_disconnect, &QPushButton::clicked, this,
                     [this] { m_controller.disconnectLine(); });
    QObject::connect(m_connect, &QPushButton::clicked, this,
                     [this] { m_controller.connectLine(); });

    QObject::connect(&controller.ports(), &PortList::portsChanged, this, [this] {
        refreshPorts();
        refreshAdapters();
    });
    QObject::connect(&controller.ports(), &PortList::selectedPathChanged, this,
                     &PortSection::refreshSelection);
    QObject::connect(&controller.line(), &LineSession::connectionChanged, this,
                     &PortSection::refreshConnection);
    QObject::connect(&controller.line(), &LineSession::storedChanged, this,
                     [this] { m_autoReconnect->setChecked(m_controller.line().autoReconnect()); });

    m_autoReconnect->setChecked(controller.line().autoReconnect());
    refreshPorts();
    refreshAdapters();
    refreshConnection();
}

void PortSection::refreshPorts()
{
    m_picker->clear();
    for (const SerialPortInfo& port : m_controller.ports().ports()) {
        m_picker->addItem(port.name, port.path);
        m_picker->setItemData(m_picker->count() - 1, port.detail, detailRole);
        m_picker->setItemData(m_picker->count() - 1, port.path, Qt::ToolTipRole);
    }
    m_picker->addItem(tr("Netzwerkadresse …"));
    m_picker->setItemData(m_picker->count() - 1, tr("tcp://… oder rfc2217://… (Gateway, ser2net)"),
                          detailRole);
    m_picker->setItemData(m_picker->count() - 1, true, asksAddressRole);
    refreshSelection();
    refreshHints();
}

void PortSection::choose(const QString& path)
{
    // While a line is open the picker shows it; another port is a switch, asked for.
    const QString open = m_controller.line().openPath();
    if (open.isEmpty() || path == open) {
        m_controller.ports().select(path);
        return;
    }
    refreshSelection();
    openConfirmation(this,
                     {tr("Zu %1 wechseln?").arg(path),
                      tr("Die Verbindung mit %1 wird dafür getrennt.").arg(open), tr("Wechseln")},
                     [this, path] {
                         m_controller.ports().select(path);
                         m_controller.connectLine();
                     },
                     {});
}

void PortSection::askForNetworkAddress()
{
    // Until an address is accepted the picker shows the port that was selected before.
    refreshSelection();
    auto* dialog = new NetworkAddressDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // OK connects; the address joins the list once a connection to it stood.
    QObject::connect(dialog, &QDialog::accepted, this, [this, dialog] {
        m_controller.ports().select(LineAddress::fromText(dialog->address()).text());
        m_controller.connectLine();
    });
    dialog->open();
}

void PortSection::refreshSelection()
{
    const QString& path = m_controller.ports().selectedPath();
    // A path given at launch may not be listed; it is shown rather than an empty picker.
    const int unlisted = m_picker->findData(true, unlistedRole);
    if (unlisted >= 0 && m_picker->itemData(unlisted) != path)
        m_picker->removeItem(unlisted);
    int index = m_picker->findData(path);
    if (index < 0 && !path.isEmpty()) {
        m_picker->addItem(path, path);
        index = m_picker->count() - 1;
        m_picker->setItemData(index, true, unlistedRole);
    }
    m_picker->setCurrentIndex(index);
    m_connect->setEnabled(!path.isEmpty());
    refreshDoctor();
    refreshConnection();
}

void PortSection::refreshDoctor(PortDoctor::Depth depth)
{
    const QString& path = m_controller.ports().selectedPath();
    QList<Finding> findings;
    // Simulators and network lines have no device node on this computer to examine.
    if (!path.isEmpty() && LineAddress::fromText(path).isDevice())
        findings = m_controller.doctor().examine(path, depth).findings;

    // The symbol and tone are the severity's: a new line rather than a recoloured one.
    delete m_doctorSummary;
    m_doctorSummary = nullptr;
    if (!findings.isEmpty()) {
        const Finding& first = findings.first();
        m_doctorSummary =
            new StatusLine(PortDoctorDialog::symbol(first.severity),
                           PortDoctorDialog::tone(first.severity), Style::caption(), m_doctor);
        m_doctorSummary->setObjectName(QStringLiteral("portDoctorSummary"));
        // Some summaries are written to follow a failure's message and start in lower case.
        QString summary = first.summary.isEmpty() ? first.text : first.summary;
        if (!summary.isEmpty())
            summary[0] = summary[0].toUpper();
        m_doctorSummary->setText(summary);
        static_cast<QVBoxLayout*>(m_doctor->layout())->insertWidget(0, m_doctorSummary);
    }
    setRowVisible(m_doctor, !findings.isEmpty());
}

void PortSection::showDoctorDetails()
{
    // Asked again, now with the processes that hold the port: the user waits for it anyway.
    const PortReport report =
        m_controller.doctor().examine(m_controller.ports().selectedPath(), PortDoctor::Depth::full);
    auto* dialog = new PortDoctorDialog(report, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void PortSection::refreshHints()
{
    const QList<SerialPortInfo>& ports = m_controller.ports().ports();
    const bool anyAdapter = std::any_of(ports.begin(), ports.end(), [](const SerialPortInfo& port) {
        return port.looksLikeUSBAdapter();
    });
    const QString& selectedPath = m_controller.ports().selectedPath();
    setRowVisible(m_forget, m_controller.ports().recentNetworkAddresses().contains(selectedPath) &&
                                m_controller.line().openPath() != selectedPath);

    // Only a line through an adapter misses one.
    const QString& chosen = m_controller.ports().selectedPath();
    const bool adapterLine = chosen.isEmpty() || LineAddress::fromText(chosen).isDevice();
    setRowVisible(m_noAdapter,
                  adapterLine && !anyAdapter && m_controller.ports().unboundAdapters().isEmpty());

    const auto selected =
        std::find_if(ports.begin(), ports.end(), [this](const SerialPortInfo& port) {
            return port.path == m_controller.ports().selectedPath();
        });
    const bool listed = selected != ports.end();
    setRowVisible(m_internalPort, listed && selected->isInternalPort());
    m_detail->setText(listed ? selected->detail : QString());
    setRowVisible(m_detail, listed && !selected->detail.isEmpty());
}

void PortSection::refreshAdapters()
{
    while (QLayoutItem* item = m_adapterLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const UnboundAdapter& adapter : m_controller.ports().unboundAdapters()) {
        QFont headlineFont = Style::callout();
        headlineFont.setWeight(QFont::DemiBold);
        auto* headline = new StatusLine(QStringLiteral("exclamationmark.triangle.fill"),
                                        Style::Tone::orange, headlineFont, m_adapters);
        headline->setText(adapter.headline());
        auto* diagnosis =
            new StatusLine(QString(), Style::Tone::secondary, Style::caption(), m_adapters);
        diagnosis->setText(adapter.diagnosis());
        m_adapterLayout->addWidget(headline);
        m_adapterLayout->addWidget(diagnosis);
    }
    setRowVisible(m_adapters, !m_controller.ports().unboundAdapters().isEmpty());
    refreshHints();
}

void PortSection::refreshConnection()
{
    using Case = ConnectionState::Case;
    const ConnectionState& state = m_controller.line().connection();

    const QString wanted = m_controller.line().wantedPath().value_or(QString());
    m_waiting->setText(
        m_controller.line().isNetwork()
            ? tr("Warte auf %1 – verbindet sich selbst, sobald es wieder erreichbar ist.")
                  .arg(wanted)
            : tr("Warte auf %1 – verbindet sich selbst, sobald er wieder da ist.").arg(wanted));
    setRowVisible(m_waiting, state.is(Case::waiting));
    m_failed->setText(state.reason);
    // A failure belongs to the port it happened on; another choice starts afresh.
    const QString& selected = m_controller.ports().selectedPath();
    if (!state.is(Case::failed))
        m_failedOn.clear();
    else if (m_failedOn.isNull())
        m_failedOn = selected;
    setRowVisible(m_failed, state.is(Case::failed) && m_failedOn == selected);
    // A failure may have a cause the quick look missed (who holds the port): asked once per
    // failure, not on every change of the connection.
    if (state.is(Case::failed) && state.reason != m_failure)
        refreshDoctor(PortDoctor::Depth::full);
    m_failure = state.is(Case::failed) ? state.reason : QString();

    m_refresh->setEnabled(!state.is(Case::connected));
    m_stopWaiting->setVisible(state.is(Case::waiting));
    m_disconnect->setVisible(state.is(Case::connected));
    m_connect->setVisible(!state.is(Case::waiting) && !state.is(Case::connected));
    refreshHints();
}
