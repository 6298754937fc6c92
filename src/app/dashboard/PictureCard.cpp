#include "app/dashboard/PictureCard.h"

#include "app/dashboard/CommandStatus.h"
#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/ToggleButton.h"
#include "app/widgets/ValueSlider.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QLabel>
#include <QVBoxLayout>

PictureCard::PictureCard(DisplayController& controller, QWidget* parent)
    : Card(tr("Bild"), QStringLiteral("sun.max"), parent)
    , m_controller(controller)
    , m_brightness(new ValueSlider(tr("Helligkeit"), info(DisplaySetting::brightness).range.minimum,
                                   info(DisplaySetting::brightness).range.maximum,
                                   QStringLiteral("sun.min"), QStringLiteral("sun.max.fill"), this))
    , m_freeze(new ToggleButton(tr("Bild einfrieren"), QStringLiteral("pause.rectangle"),
                                Style::Tone::accent, this))
    , m_shade(new ToggleButton(tr("Bildschirm abdecken"), QStringLiteral("rectangle.inset.filled"),
                               Style::Tone::accent, this))
{
    auto* caption = new QLabel(tr("Helligkeit"), this);
    caption->setFont(Style::subheadline());
    contentLayout()->addWidget(caption);
    contentLayout()->addWidget(m_brightness);
    auto* toggles = new FlowLayout(nullptr, 8, 8);
    toggles->addWidget(m_freeze);
    toggles->addWidget(m_shade);
    contentLayout()->addLayout(toggles);
    contentLayout()->addWidget(new CommandStatus(
        controller,
        {DisplaySetting::brightness, DisplaySetting::videoFreeze, DisplaySetting::screenShade},
        this));

    connect(m_brightness, &ValueSlider::valueRequested, this, [this](double value) {
        m_controller.display().setLevel(DisplaySetting::brightness, value);
    });
    connect(m_brightness, &ValueSlider::stepRequested, this, [this](int delta) {
        m_controller.display().stepLevel(DisplaySetting::brightness, delta);
    });
    connect(m_freeze, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.display().setSwitch(DisplaySetting::videoFreeze, on);
        refresh();
    });
    connect(m_shade, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.display().setSwitch(DisplaySetting::screenShade, on);
        refresh();
    });
    connect(&controller.display(), &RemoteDisplay::changed, this, &PictureCard::refresh);
    refresh();
}

void PictureCard::refresh()
{
    const DisplayState& state = m_controller.display().state();
    m_brightness->setValue(state.level(DisplaySetting::brightness));
    // Grey while the display has not told it on this line (and no click of ours sets it).
    m_brightness->setDimmed(state.standing(DisplaySetting::brightness) !=
                                DisplayState::Standing::live &&
                            state.knowledge(DisplaySetting::brightness).pending == 0);
    m_freeze->setChecked(state.toggle(DisplaySetting::videoFreeze).value_or(false));
    m_shade->setChecked(state.toggle(DisplaySetting::screenShade).value_or(false));
}
