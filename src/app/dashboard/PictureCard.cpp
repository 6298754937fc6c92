#include "app/dashboard/PictureCard.h"

#include "app/style/Style.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/ToggleButton.h"
#include "app/widgets/ValueSlider.h"
#include "controller/DisplayController.h"

#include <QLabel>
#include <QVBoxLayout>

PictureCard::PictureCard(DisplayController& controller, QWidget* parent)
    : Card(QStringLiteral("Bild"), QStringLiteral("sun.max"), parent)
    , m_controller(controller)
    , m_brightness(new ValueSlider(QStringLiteral("Helligkeit"), QStringLiteral("sun.min"),
                                   QStringLiteral("sun.max.fill"), this))
    , m_freeze(new ToggleButton(QStringLiteral("Bild einfrieren"),
                                QStringLiteral("pause.rectangle"), Style::Tone::accent, this))
    , m_shade(new ToggleButton(QStringLiteral("Bildschirm abdecken"),
                               QStringLiteral("rectangle.inset.filled"), Style::Tone::accent, this))
{
    auto* caption = new QLabel(QStringLiteral("Helligkeit"), this);
    caption->setFont(Style::subheadline());
    contentLayout()->addWidget(caption);
    contentLayout()->addWidget(m_brightness);
    auto* toggles = new FlowLayout(nullptr, 8, 8);
    toggles->addWidget(m_freeze);
    toggles->addWidget(m_shade);
    contentLayout()->addLayout(toggles);

    connect(m_brightness, &ValueSlider::valueRequested, this,
            [this](double value) { m_controller.setBrightness(value); });
    connect(m_brightness, &ValueSlider::stepRequested, this,
            [this](int delta) { m_controller.stepBrightness(delta); });
    connect(m_freeze, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.setVideoFreeze(on);
        refresh();
    });
    connect(m_shade, &ToggleButton::clicked, this, [this](bool on) {
        m_controller.setScreenShade(on);
        refresh();
    });
    for (auto signal :
         {&DisplayController::brightnessChanged, &DisplayController::videoFreezeChanged,
          &DisplayController::screenShadeChanged})
        connect(&controller, signal, this, &PictureCard::refresh);
    refresh();
}

void PictureCard::refresh()
{
    m_brightness->setValue(m_controller.display().brightness);
    m_freeze->setChecked(m_controller.display().videoFreeze);
    m_shade->setChecked(m_controller.display().screenShade);
}
