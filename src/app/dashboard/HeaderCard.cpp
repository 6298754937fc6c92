#include "app/dashboard/HeaderCard.h"

#include "app/dashboard/StatusChip.h"
#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/RelativeTime.h"
#include "app/widgets/StatusLine.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "protocol/InputSource.h"

#include <QBoxLayout>
#include <QLabel>
#include <QTimer>
#include <cmath>

namespace {

constexpr int displayIconSize = 38;
constexpr int rowSpacing = 16;
// The age under the name is in minutes at its finest; this keeps it current.
constexpr int ageRefreshMs = 20'000;

// "–" stands for a value the display has not told.
QString orDash(const std::optional<QString>& value)
{
    return value && !value->isEmpty() ? *value : QStringLiteral("–");
}

bool isLive(const DisplayState& state, DisplaySetting setting)
{
    return state.standing(setting) == DisplayState::Standing::live;
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
    // A status line: a long device path wraps at its separators.
    m_origin = new StatusLine(QStringLiteral("clock.arrow.circlepath"), Style::Tone::orange,
                              Style::caption(), m_identity);
    m_origin->setObjectName(QStringLiteral("pictureOrigin"));
    // What makes a display look dead while it is not: said where the eye looks first.
    m_pictureFlags = new StatusLine(QStringLiteral("pause.rectangle"), Style::Tone::orange,
                                    Style::caption(), m_identity);
    m_pictureFlags->setObjectName(QStringLiteral("pictureFlags"));
    m_pictureFlags->hide();
    m_ageTimer = new QTimer(this);
    m_ageTimer->setInterval(ageRefreshMs);
    connect(m_ageTimer, &QTimer::timeout, this, &HeaderCard::refreshOrigin);

    auto* pairs = new FlowLayout(nullptr, 14, 2);
    m_serialNumber = addPair(pairs, tr("Seriennr."), QStringLiteral("serialNumber"), m_identity);
    m_partNumber = addPair(pairs, tr("Teilenr."), QStringLiteral("partNumber"), m_identity);
    m_firmware = addPair(pairs, tr("Firmware"), QStringLiteral("firmware"), m_identity);

    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    names->addWidget(m_title);
    names->addWidget(m_pictureFlags);
    names->addWidget(m_origin);
    names->addLayout(pairs);
    auto* identityRow = new QHBoxLayout(m_identity);
    identityRow->setContentsMargins(0, 0, 0, 0);
    identityRow->setSpacing(14);
    identityRow->addWidget(icon, 0, Qt::AlignVCenter);
    identityRow->addLayout(names, 1);

    m_power = new StatusChip(tr("Betrieb"), m_chips);
    m_input = new StatusChip(tr("Quelle"), m_chips);
    m_volume = new StatusChip(tr("Lautstärke"), m_chips);
    // Under the name the chips may wrap too, so that the narrowest dashboard still shows them.
    auto* chipRow = new FlowLayout(m_chips, 12, 8);
    chipRow->addWidget(m_power);
    chipRow->addWidget(m_input);
    chipRow->addWidget(m_volume);

    m_row->setSpacing(rowSpacing);
    m_row->addWidget(m_identity, 1);
    m_row->addWidget(m_chips, 0, Qt::AlignVCenter);
    contentLayout()->addLayout(m_row);

    const RemoteDisplay& display = controller.display();
    connect(&display, &RemoteDisplay::changed, this, [this] {
        refreshIdentity();
        refreshChips();
        refreshOrigin();
    });
    connect(&display, &RemoteDisplay::seriesChanged, this, &HeaderCard::refreshIdentity);
    connect(&controller.ports(), &PortList::selectedPathChanged, this, &HeaderCard::refreshOrigin);
    connect(&controller.line(), &LineSession::connectionChanged, this, &HeaderCard::refreshOrigin);
    refreshIdentity();
    refreshChips();
    refreshOrigin();
}

void HeaderCard::refreshIdentity()
{
    const DisplayState& state = m_controller.display().state();
    const auto model = state.text(DisplaySetting::modelNumber);
    m_title->setText(model ? *model
                           : tr("SMART Board %1").arg(rawValue(m_controller.display().series())));
    const auto pair = [&](QLabel* label, DisplaySetting setting) {
        label->setText(orDash(state.text(setting)));
        Style::setTone(label,
                       isLive(state, setting) ? Style::Tone::primary : Style::Tone::secondary);
    };
    pair(m_serialNumber, DisplaySetting::serialNumber);
    pair(m_partNumber, DisplaySetting::partNumber);
    pair(m_firmware, DisplaySetting::firmware);
}

void HeaderCard::refreshChips()
{
    using Tone = Style::Tone;
    const DisplayState& state = m_controller.display().state();
    // What this line's display has not told is no state of it: shown, but not in colour.
    const auto tone = [&](DisplaySetting setting, Tone live) {
        return isLive(state, setting) ? live : Tone::secondary;
    };
    if (const auto power = state.power())
        m_power->setContent(
            ::label(*power), ::symbol(*power),
            tone(DisplaySetting::power, *power == PowerState::on ? Tone::green : Tone::secondary));
    else
        m_power->setContent(QStringLiteral("–"), QStringLiteral("questionmark.circle"),
                            Tone::secondary);

    // The chip pictures the reported input's port.
    const auto input = state.input();
    m_input->setContent(input ? InputSource::labelFor(*input) : QStringLiteral("–"),
                        inputSymbol(input.value_or(QString())),
                        tone(DisplaySetting::input, Tone::accent));

    QStringList flags;
    if (state.toggle(DisplaySetting::videoFreeze).value_or(false))
        flags.append(tr("Bild eingefroren"));
    if (state.toggle(DisplaySetting::screenShade).value_or(false))
        flags.append(tr("Bildschirm abgedeckt"));
    m_pictureFlags->setText(flags.join(QStringLiteral(" · ")));
    // A warning only while this line's display says so; last known, it is grey like the rest.
    const bool live =
        isLive(state, DisplaySetting::videoFreeze) || isLive(state, DisplaySetting::screenShade);
    m_pictureFlags->setTone(live ? Style::Tone::orange : Style::Tone::secondary);
    m_pictureFlags->setVisible(!flags.isEmpty());

    const auto volume = state.level(DisplaySetting::volume);
    if (state.toggle(DisplaySetting::mute).value_or(false))
        m_volume->setContent(tr("Stumm"), QStringLiteral("speaker.slash.fill"),
                             tone(DisplaySetting::mute, Tone::red));
    else
        m_volume->setContent(volume ? QString::number(std::lround(*volume)) : QStringLiteral("–"),
                             QStringLiteral("speaker.wave.2.fill"),
                             tone(DisplaySetting::volume, Tone::accent));
}

void HeaderCard::refreshOrigin()
{
    // Said only while something is shown that this line's display has not told.
    const DisplayState& state = m_controller.display().state();
    const auto newest = state.newest();
    const auto& settings = displaySettings();
    const bool allLive = std::all_of(settings.begin(), settings.end(), [&](const SettingInfo& row) {
        return state.standing(row.setting) != DisplayState::Standing::lastKnown;
    });
    if (!newest || allLive) {
        m_origin->hide();
        m_ageTimer->stop();
        return;
    }
    const QString age =
        relativeTimeText(newest->confirmedAt.secsTo(QDateTime::currentDateTimeUtc()));
    // While a line is open, the picture is not its display's until that one answers.
    m_origin->setText(
        m_controller.line().isOpen()
            ? tr("Zuletzt gemeldet von %1, %2 – nicht von dieser Verbindung").arg(newest->line, age)
            : tr("Zuletzt gemeldet von %1, %2").arg(newest->line, age));
    m_origin->show();
    m_ageTimer->start();
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
