#include "app/dashboard/CommandStatus.h"

#include "app/style/Style.h"
#include "controller/Clock.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QHBoxLayout>
#include <QLabel>

CommandStatus::CommandStatus(DisplayController& controller, QList<DisplaySetting> settings,
                             QWidget* parent)
    : QWidget(parent)
    , m_controller(controller)
    , m_settings(std::move(settings))
    , m_icon(new QLabel(this))
    , m_text(new QLabel(this))
    , m_failureShown(controller.clock().makeTimer())
{
    setObjectName(QStringLiteral("commandStatus"));
    m_text->setWordWrap(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_icon, 0, Qt::AlignTop);
    row->addWidget(m_text, 1);
    for (DisplaySetting setting : m_settings)
        m_seen[std::size_t(setting)] = controller.display().state().knowledge(setting).failure;
    connect(&controller.display(), &RemoteDisplay::changed, this, &CommandStatus::refresh);
    refresh();
}

CommandStatus::~CommandStatus() = default;

QString CommandStatus::text() const
{
    return isHidden() ? QString() : m_text->text();
}

void CommandStatus::refresh()
{
    const DisplayState& state = m_controller.display().state();
    bool pending = false;
    for (DisplaySetting setting : m_settings) {
        const SettingKnowledge& known = state.knowledge(setting);
        pending = pending || known.pending > 0;
        // A failure is news once, when it comes; it stays in the knowledge until the next
        // command, but not on screen.
        std::optional<QString>& seen = m_seen[std::size_t(setting)];
        if (known.pending > 0) {
            seen.reset();
        } else if (known.failure != seen) {
            seen = known.failure;
            if (known.failure) {
                m_failure = tr("Nicht übernommen: %1").arg(*known.failure);
                m_failureShown->start(failureShownSeconds, [this] {
                    m_failure.clear();
                    refresh();
                });
            }
        }
    }
    if (pending) {
        m_failure.clear();
        m_failureShown->stop();
        Style::setSymbol(m_icon, QStringLiteral("hourglass"),
                         QFontMetrics(Style::caption()).height(), Style::Tone::secondary);
        m_text->setText(tr("Wird gesendet …"));
        Style::makeCaption(m_text, Style::Tone::secondary);
    } else if (!m_failure.isEmpty()) {
        Style::setSymbol(m_icon, QStringLiteral("exclamationmark.triangle"),
                         QFontMetrics(Style::caption()).height(), Style::Tone::red);
        m_text->setText(m_failure);
        Style::makeCaption(m_text, Style::Tone::red);
    }
    setVisible(pending || !m_failure.isEmpty());
}
