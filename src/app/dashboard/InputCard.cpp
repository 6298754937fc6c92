#include "app/dashboard/InputCard.h"

#include "app/dashboard/CommandStatus.h"
#include "app/style/Icons.h"
#include "app/style/Style.h"
#include "app/widgets/AdaptiveGridLayout.h"
#include "app/widgets/TileButton.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"
#include "protocol/InputSource.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int tileMinimumWidth = 84;
constexpr int tileSpacing = 10;

} // namespace

InputCard::InputCard(DisplayController& controller, QWidget* parent)
    : Card(tr("Quelle"), QStringLiteral("rectangle.connected.to.line.below"), parent)
    , m_controller(controller)
    , m_noSignal(new QWidget(this))
{
    auto* grid =
        new AdaptiveGridLayout(tileMinimumWidth, AdaptiveGridLayout::unbounded, tileSpacing);
    grid->setStretchToRowHeight(true);
    for (const InputSource& source : InputSource::all()) {
        auto* tile =
            new TileButton(source.label, inputSymbol(source.id), Style::Tone::accent, this);
        connect(tile, &TileButton::clicked, this,
                [this, id = source.id] { m_controller.display().setInput(id); });
        grid->addWidget(tile);
        m_tiles.append(tile);
    }
    contentLayout()->addLayout(grid);
    contentLayout()->addWidget(new CommandStatus(controller, {DisplaySetting::input}, this));

    auto* icon = new QLabel(m_noSignal);
    Style::setSymbol(icon, QStringLiteral("exclamationmark.triangle"),
                     QFontMetrics(Style::caption()).height(), Style::Tone::orange);
    auto* text = new QLabel(tr("Display meldet: kein Signal an der gewählten Quelle"), m_noSignal);
    text->setWordWrap(true);
    Style::makeCaption(text, Style::Tone::orange);
    auto* row = new QHBoxLayout(m_noSignal);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(text, 1);
    contentLayout()->addWidget(m_noSignal);

    connect(&controller.display(), &RemoteDisplay::changed, this, &InputCard::refresh);
    refresh();
}

void InputCard::refresh()
{
    const DisplayState& display = m_controller.display().state();
    const auto input = display.input();
    // A click of ours shows at once in full; a value from an earlier line only outlined.
    const bool stale = display.standing(DisplaySetting::input) != DisplayState::Standing::live &&
                       display.knowledge(DisplaySetting::input).pending == 0;
    const QList<InputSource>& sources = InputSource::all();
    for (int i = 0; i < m_tiles.size(); ++i) {
        m_tiles.at(i)->setActive(input && *input == sources.at(i).id);
        m_tiles.at(i)->setStale(stale);
    }
    // Only the display's explicit "none", not an input that was never reported.
    m_noSignal->setVisible(input && *input == QStringLiteral("none"));
}
