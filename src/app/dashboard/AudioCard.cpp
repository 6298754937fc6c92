#include "app/dashboard/AudioCard.h"

#include "app/dashboard/CommandStatus.h"
#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/ToggleButton.h"
#include "app/widgets/ValueSlider.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int presetPadding = 30;

} // namespace

AudioCard::AudioCard(DisplayController& controller, QWidget* parent)
    : Card(tr("Audio (Lautsprecher + Audio-Out)"), QStringLiteral("speaker.wave.3"), parent)
    , m_controller(controller)
    , m_volume(new ValueSlider(tr("Lautstärke"), info(DisplaySetting::volume).range.minimum,
                               info(DisplaySetting::volume).range.maximum,
                               QStringLiteral("speaker.fill"),
                               QStringLiteral("speaker.wave.3.fill"), this))
    , m_mute(new ToggleButton(tr("Stumm"), QStringLiteral("speaker.slash"), Style::Tone::red, this))
    , m_micMute(new ToggleButton(tr("Mikrofon stumm"), QStringLiteral("mic.slash"),
                                 Style::Tone::red, this))
{
    contentLayout()->addWidget(m_volume);

    auto* buttons = new FlowLayout(nullptr, 8, 8);
    buttons->addWidget(m_mute);
    buttons->addWidget(m_micMute);
    // The presets wrap as one group, never one of them apart from the others.
    auto* presets = new QWidget(this);
    auto* presetRow = new QHBoxLayout(presets);
    presetRow->setContentsMargins(0, 0, 0, 0);
    presetRow->setSpacing(8);
    for (int preset : {0, 25, 50, 75}) {
        auto* button = new QPushButton(QString::number(preset), presets);
        button->setAutoDefault(false);
        // As narrow as the number: the platform's minimum width for text buttons would push
        // the row onto two lines.
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("75")) +
                              presetPadding);
        connect(button, &QPushButton::clicked, this, [this, preset] {
            m_controller.display().setLevel(DisplaySetting::volume, preset);
        });
        presetRow->addWidget(button);
    }
    buttons->addWidget(presets);
    contentLayout()->addLayout(buttons);
    contentLayout()->addWidget(new CommandStatus(
        controller, {DisplaySetting::volume, DisplaySetting::mute, DisplaySetting::micMute}, this));

    auto* note = new QLabel(
        tr("„volume“ ist die Lautstärke des Displays (%1–%2). Ob der Audio-Out-Ausgang "
           "mitgeregelt wird, legt das Audio-Menü des Displays fest – beim ersten Test am Gerät "
           "prüfen.")
            .arg(info(DisplaySetting::volume).range.minimum)
            .arg(info(DisplaySetting::volume).range.maximum),
        this);
    note->setWordWrap(true);
    Style::makeCaption(note);
    contentLayout()->addWidget(note);

    connect(m_volume, &ValueSlider::valueRequested, this, [this](double value) {
        m_controller.display().setLevel(DisplaySetting::volume, value);
    });
    connect(m_volume, &ValueSlider::stepRequested, this,
            [this](int delta) { m_controller.display().stepLevel(DisplaySetting::volume, delta); });
    connect(m_mute, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.display().setSwitch(DisplaySetting::mute, on);
        refresh();
    });
    connect(m_micMute, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.display().setSwitch(DisplaySetting::micMute, on);
        refresh();
    });
    connect(&controller.display(), &RemoteDisplay::changed, this, &AudioCard::refresh);
    refresh();
}

void AudioCard::refresh()
{
    const DisplayState& state = m_controller.display().state();
    const bool muted = state.toggle(DisplaySetting::mute).value_or(false);
    m_volume->setValue(state.level(DisplaySetting::volume));
    // Grey when muted, or while the display has not told it on this line (and no click of
    // ours sets it).
    m_volume->setDimmed(muted ||
                        (state.standing(DisplaySetting::volume) != DisplayState::Standing::live &&
                         state.knowledge(DisplaySetting::volume).pending == 0));
    // A click has already flipped the button; what the display model holds is what counts.
    m_mute->setChecked(muted);
    m_micMute->setChecked(state.toggle(DisplaySetting::micMute).value_or(false));
}
