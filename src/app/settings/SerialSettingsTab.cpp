#include "app/settings/SerialSettingsTab.h"

#include "app/style/Style.h"
#include "app/widgets/FormSection.h"
#include "app/widgets/WheelGuard.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

namespace {

// Ranges and steps of the two steppers.
constexpr double timeoutMinimum = 0.2;
constexpr double timeoutMaximum = 10.0;
constexpr double timeoutStep = 0.1;
constexpr int delayMaximumMs = 2000;
constexpr int delayStepMs = 50;
// Seconds times 1000 is not exact in binary (1.001 * 1000 = 1000.99…); this much is added before
// cutting so that a value set as whole milliseconds shows as exactly those.
constexpr double millisecondSlack = 1e-6;

// Edits with the stepper arrows or the keyboard; the value is taken when editing ends, not
// on every keystroke, so half-typed numbers never reach the line.
template <typename SpinBox>
void prepare(SpinBox* box, const QString& objectName)
{
    box->setObjectName(objectName);
    takeWheelOnlyWithFocus(box);
    box->setKeyboardTracking(false);
    box->setAlignment(Qt::AlignRight);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

} // namespace

int SerialSettingsTab::delayMilliseconds(double seconds)
{
    return static_cast<int>(std::trunc(seconds * 1000 + millisecondSlack));
}

SerialSettingsTab::SerialSettingsTab(DisplayController& controller, QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_timeout(new QDoubleSpinBox(this))
    , m_delay(new QSpinBox(this))
    , m_dtr(new QCheckBox(tr("DTR setzen"), this))
    , m_rts(new QCheckBox(tr("RTS setzen"), this))
{
    setObjectName(QStringLiteral("serialSettingsTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(20);

    auto* timing = new FormSection(tr("Zeitverhalten"), this);
    prepare(m_timeout, QStringLiteral("responseTimeoutStepper"));
    m_timeout->setRange(timeoutMinimum, timeoutMaximum);
    m_timeout->setSingleStep(timeoutStep);
    m_timeout->setDecimals(1);
    m_timeout->setSuffix(tr(" s"));
    timing->addRow(tr("Antwort-Timeout"), m_timeout);

    prepare(m_delay, QStringLiteral("interCommandDelayStepper"));
    m_delay->setRange(0, delayMaximumMs);
    m_delay->setSingleStep(delayStepMs);
    m_delay->setSuffix(tr(" ms"));
    timing->addRow(tr("Pause zwischen Befehlen"), m_delay);
    layout->addWidget(timing);

    auto* lines = new FormSection(tr("Steuerleitungen"), this);
    m_dtr->setObjectName(QStringLiteral("dtrToggle"));
    m_rts->setObjectName(QStringLiteral("rtsToggle"));
    lines->addWidget(m_dtr);
    lines->addWidget(m_rts);
    auto* hint = new QLabel(tr("Manche Adapter oder Gegenstellen brauchen DTR/RTS "
                               "aktiv. Bei RTS/CTS-Flusssteuerung bleibt RTS immer "
                               "gesetzt."),
                            this);
    hint->setWordWrap(true);
    Style::makeCaption(hint);
    lines->addWidget(hint);
    layout->addWidget(lines);
    layout->addStretch(1);

    const auto change = [this](auto edit) {
        SerialSettings settings = m_controller.line().settings();
        edit(settings);
        m_controller.line().setSettings(settings);
    };
    QObject::connect(m_timeout, &QDoubleSpinBox::valueChanged, this, [change](double value) {
        change([value](SerialSettings& s) { s.responseTimeout = value; });
    });
    QObject::connect(m_delay, &QSpinBox::valueChanged, this, [change](int ms) {
        change([ms](SerialSettings& s) { s.interCommandDelay = ms / 1000.0; });
    });
    QObject::connect(m_dtr, &QCheckBox::toggled, this,
                     [change](bool on) { change([on](SerialSettings& s) { s.assertDTR = on; }); });
    QObject::connect(m_rts, &QCheckBox::toggled, this,
                     [change](bool on) { change([on](SerialSettings& s) { s.assertRTS = on; }); });

    QObject::connect(&controller.line(), &LineSession::settingsChanged, this,
                     &SerialSettingsTab::refresh);
    refresh();
}

void SerialSettingsTab::refresh()
{
    const SerialSettings& settings = m_controller.line().settings();
    const QSignalBlocker blockTimeout(m_timeout);
    const QSignalBlocker blockDelay(m_delay);
    const QSignalBlocker blockDtr(m_dtr);
    const QSignalBlocker blockRts(m_rts);
    m_timeout->setValue(settings.responseTimeout);
    m_delay->setValue(delayMilliseconds(settings.interCommandDelay));
    m_dtr->setChecked(settings.assertDTR);
    m_rts->setChecked(settings.assertRTS);
}
