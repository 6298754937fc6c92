#include "app/dashboard/AudioCard.h"

#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/ToggleButton.h"
#include "app/widgets/ValueSlider.h"
#include "controller/DisplayController.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int presetPadding = 30;

} // namespace

AudioCard::AudioCard(DisplayController& controller, QWidget* parent)
    : Card(QStringLiteral("Audio (Lautsprecher + Audio-Out)"), QStringLiteral("speaker.wave.3"),
           parent)
    , m_controller(controller)
    , m_volume(new ValueSlider(QStringLiteral("Lautst\u00E4rke"), QStringLiteral("speaker.fill"),
                               QStringLiteral("speaker.wave.3.fill"), this))
    , m_mute(new ToggleButton(QStringLiteral("Stumm"), QStringLiteral("speaker.slash"),
                              Style::Tone::red, this))
    , m_micMute(new ToggleButton(QStringLiteral("Mikrofon stumm"), QStringLiteral("mic.slash"),
                                 Style::Tone::red, this))
{
    contentLayout()->addWidget(m_volume);

    auto* buttons = new FlowLayout(nullptr, 8, 8);
    buttons->addWidget(m_mute);
    buttons->addWidget(m_micMute);
    for (int preset : {0, 25, 50, 75}) {
        auto* button = new QPushButton(QString::number(preset), this);
        button->setAutoDefault(false);
        // As narrow as the number: the platform's minimum width for text buttons would push
        // the row onto two lines.
        button->setFixedWidth(button->fontMetrics().horizontalAdvance(QStringLiteral("75")) +
                              presetPadding);
        connect(button, &QPushButton::clicked, this,
                [this, preset] { m_controller.setVolume(preset); });
        buttons->addWidget(button);
    }
    contentLayout()->addLayout(buttons);

    auto* note = new QLabel(
        QStringLiteral("\u201Evolume\u201C ist die Lautst\u00E4rke des Displays (0\u2013100). Ob "
                       "der Audio-Out-Ausgang mitgeregelt wird, legt das Audio-Men\u00FC des "
                       "Displays fest \u2013 beim ersten Test am Ger\u00E4t pr\u00FCfen."),
        this);
    note->setWordWrap(true);
    Style::makeCaption(note);
    contentLayout()->addWidget(note);

    connect(m_volume, &ValueSlider::valueRequested, this,
            [this](double value) { m_controller.setVolume(value); });
    connect(m_volume, &ValueSlider::stepRequested, this,
            [this](int delta) { m_controller.stepVolume(delta); });
    connect(m_mute, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.setMute(on);
        refresh();
    });
    connect(m_micMute, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.setMicMute(on);
        refresh();
    });
    for (auto signal : {&DisplayController::volumeChanged, &DisplayController::muteChanged,
                        &DisplayController::micMuteChanged})
        connect(&controller, signal, this, &AudioCard::refresh);
    refresh();
}

void AudioCard::refresh()
{
    m_volume->setValue(m_controller.display().volume);
    m_volume->setDimmed(m_controller.display().mute);
    // A click has already flipped the button; the controller's value is what counts.
    m_mute->setChecked(m_controller.display().mute);
    m_micMute->setChecked(m_controller.display().micMute);
}
