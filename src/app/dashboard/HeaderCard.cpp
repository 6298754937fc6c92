#include "app/dashboard/HeaderCard.h"

#include "app/dashboard/StatusChip.h"
#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "controller/DisplayController.h"
#include "protocol/InputSource.h"

#include <QBoxLayout>
#include <QLabel>
#include <cmath>

namespace {

constexpr int displayIconSize = 38;
constexpr int rowSpacing = 16;

// "–" stands for a value the display has not told yet.
QString orDash(const QString& value)
{
    return value.isEmpty() ? QStringLiteral("\u2013") : value;
}

QLabel* addPair(FlowLayout* pairs, const QString& caption, const QString& name, QWidget* parent)
{
    auto* pair = new QWidget(parent);
    auto* row = new QHBoxLayout(pair);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(5);
    auto* label = new QLabel(caption, pair);
    label->setFont(Style::callout());
    Style::setTone(label, Style::Tone::secondary);
    auto* value = new QLabel(pair);
    value->setObjectName(name);
    value->setFont(Style::monospace(Style::callout().pointSizeF()));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setCursor(Qt::IBeamCursor);
    row->addWidget(label);
    row->addWidget(value);
    pairs->addWidget(pair);
    return value;
}

} // namespace

HeaderCard::HeaderCard(DisplayController& controller, QWidget* parent)
    : Card({}, {}, parent)
    , m_controller(controller)
    , m_row(new QBoxLayout(QBoxLayout::LeftToRight))
    , m_identity(new QWidget(this))
    , m_chips(new QWidget(this))
    , m_title(new QLabel(m_identity))
{
    auto* icon = new QLabel(m_identity);
    Style::setSymbol(icon, QStringLiteral("rectangle.on.rectangle.angled"), displayIconSize,
                     Style::Tone::accent);
    icon->setAlignment(Qt::AlignTop);
    m_title->setObjectName(QStringLiteral("displayName"));
    m_title->setFont(Style::title());
    m_title->setWordWrap(true);
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* pairs = new FlowLayout(nullptr, 14, 2);
    m_serialNumber =
        addPair(pairs, QStringLiteral("Seriennr."), QStringLiteral("serialNumber"), m_identity);
    m_partNumber =
        addPair(pairs, QStringLiteral("Teilenr."), QStringLiteral("partNumber"), m_identity);
    m_firmware = addPair(pairs, QStringLiteral("Firmware"), QStringLiteral("firmware"), m_identity);

    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(m_title);
    names->addLayout(pairs);
    auto* identityRow = new QHBoxLayout(m_identity);
    identityRow->setContentsMargins(0, 0, 0, 0);
    identityRow->setSpacing(14);
    identityRow->addWidget(icon, 0, Qt::AlignVCenter);
    identityRow->addLayout(names, 1);

    m_power = new StatusChip(QStringLiteral("Betrieb"), m_chips);
    m_input = new StatusChip(QStringLiteral("Quelle"), m_chips);
    m_volume = new StatusChip(QStringLiteral("Lautst\u00E4rke"), m_chips);
    // Under the name the chips may wrap too, so that the narrowest dashboard still shows them.
    auto* chipRow = new FlowLayout(m_chips, 12, 8);
    chipRow->addWidget(m_power);
    chipRow->addWidget(m_input);
    chipRow->addWidget(m_volume);

    m_row->setSpacing(rowSpacing);
    m_row->addWidget(m_identity, 1);
    m_row->addWidget(m_chips, 0, Qt::AlignVCenter);
    contentLayout()->addLayout(m_row);

    for (auto signal : {&DisplayController::seriesChanged, &DisplayController::modelNumberChanged,
                        &DisplayController::serialNumberChanged,
                        &DisplayController::partNumberChanged, &DisplayController::firmwareChanged})
        connect(&controller, signal, this, &HeaderCard::refreshIdentity);
    for (auto signal : {&DisplayController::powerChanged, &DisplayController::inputChanged,
                        &DisplayController::volumeChanged, &DisplayController::muteChanged})
        connect(&controller, signal, this, &HeaderCard::refreshChips);
    refreshIdentity();
    refreshChips();
}

void HeaderCard::refreshIdentity()
{
    const QString model = m_controller.display().modelNumber;
    m_title->setText(
        model.isEmpty() ? QStringLiteral("SMART Board ") + rawValue(m_controller.series()) : model);
    m_serialNumber->setText(orDash(m_controller.display().serialNumber));
    m_partNumber->setText(orDash(m_controller.display().partNumber));
    m_firmware->setText(orDash(m_controller.display().firmware));
}

void HeaderCard::refreshChips()
{
    using Tone = Style::Tone;
    if (const auto& power = m_controller.display().power)
        m_power->setContent(::label(*power), ::symbol(*power),
                            *power == PowerState::on ? Tone::green : Tone::secondary);
    else
        m_power->setContent(QStringLiteral("\u2013"), QStringLiteral("questionmark.circle"),
                            Tone::secondary);

    // The chip pictures the reported input's port.
    const auto& input = m_controller.display().input;
    m_input->setContent(input ? InputSource::labelFor(*input) : QStringLiteral("\u2013"),
                        inputSymbol(input.value_or(QString())), Tone::accent);

    if (m_controller.display().mute)
        m_volume->setContent(QStringLiteral("Stumm"), QStringLiteral("speaker.slash.fill"),
                             Tone::red);
    else
        m_volume->setContent(QString::number(std::lround(m_controller.display().volume)),
                             QStringLiteral("speaker.wave.2.fill"), Tone::accent);
}

QSize HeaderCard::minimumSizeHint() const
{
    // The narrowest arrangement: the chips under the name.
    const QMargins margins = contentsMargins() + layout()->contentsMargins();
    const int width =
        qMax(m_identity->minimumSizeHint().width(), m_chips->minimumSizeHint().width());
    return {width + margins.left() + margins.right(), Card::minimumSizeHint().height()};
}

void HeaderCard::resizeEvent(QResizeEvent* event)
{
    Card::resizeEvent(event);
    chooseArrangement();
}

void HeaderCard::chooseArrangement()
{
    const QMargins margins = contentsMargins() + layout()->contentsMargins();
    const int available = width() - margins.left() - margins.right();
    const int needed =
        m_identity->minimumSizeHint().width() + rowSpacing + m_chips->sizeHint().width();
    const auto direction = available >= needed ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (m_row->direction() != direction) {
        m_row->setDirection(direction);
        m_row->setAlignment(m_chips, direction == QBoxLayout::LeftToRight ? Qt::AlignVCenter
                                                                          : Qt::AlignLeft);
    }
}
