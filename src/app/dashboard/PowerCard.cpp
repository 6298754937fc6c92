#include "app/dashboard/PowerCard.h"

#include "app/dashboard/CommandStatus.h"
#include "app/style/Style.h"
#include "app/widgets/AdaptiveGridLayout.h"
#include "app/widgets/ConfirmationDialog.h"
#include "app/widgets/TileButton.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {

constexpr int tileMinimumWidth = 92;
constexpr int tileSpacing = 10;

Style::Tone toneOf(PowerState state)
{
    return state == PowerState::on ? Style::Tone::green : Style::Tone::indigo;
}

} // namespace

PowerCard::PowerCard(DisplayController& controller, QWidget* parent)
    : Card(tr("Betrieb"), QStringLiteral("power"), parent)
    , m_controller(controller)
    , m_grid(new AdaptiveGridLayout(tileMinimumWidth, AdaptiveGridLayout::unbounded, tileSpacing))
{
    m_grid->setStretchToRowHeight(true);
    contentLayout()->addLayout(m_grid);
    contentLayout()->addWidget(new CommandStatus(controller, {DisplaySetting::power}, this));
    auto* note =
        new QLabel(tr("Jeder RS-232-Befehl weckt das Display aus „Standby (Netzwerk)“ – in "
                      "diesem Zustand fragt Bildwart höchstens einmal pro Minute nach."),
                   this);
    note->setWordWrap(true);
    Style::makeCaption(note);
    contentLayout()->addWidget(note);

    connect(&controller.display(), &RemoteDisplay::seriesChanged, this, &PowerCard::rebuildTiles);
    connect(&controller.display(), &RemoteDisplay::changed, this, &PowerCard::refreshActive);
    rebuildTiles();
}

void PowerCard::rebuildTiles()
{
    // Old tiles go later: the series may change while a tile's click is still being handled.
    for (const auto& [state, tile] : m_tiles) {
        m_grid->removeWidget(tile);
        tile->hide();
        tile->deleteLater();
    }
    m_tiles.clear();
    for (PowerState state : availablePowerStates(m_controller.display().series())) {
        auto* tile = new TileButton(::label(state), ::symbol(state), toneOf(state), this);
        connect(tile, &TileButton::clicked, this, [this, state] { choose(state); });
        m_grid->addWidget(tile);
        m_tiles.append({state, tile});
    }
    refreshActive();
}

void PowerCard::refreshActive()
{
    const DisplayState& display = m_controller.display().state();
    const auto power = display.power();
    const bool stale = display.standing(DisplaySetting::power) != DisplayState::Standing::live;
    for (const auto& [state, tile] : m_tiles) {
        tile->setActive(power && *power == state);
        tile->setStale(stale);
    }
}

void PowerCard::choose(PowerState state)
{
    if (state == PowerState::powersave || state == PowerState::off) {
        askFor(state);
        return;
    }
    m_controller.display().setPower(state);
}

void PowerCard::askFor(PowerState state)
{
    if (m_dialog)
        m_dialog->close(); // a newer choice replaces an open question
    m_confirm = state;
    const QString name = ::label(state);
    const Confirmation confirmation{
        tr("Display auf „%1“ schalten?").arg(name),
        state == PowerState::powersave
            ? tr("Aus „Energiesparen“ weckt nur der Netzschalter am Gerät – nicht RS-232.")
            : tr("Aus „Aus“ lässt sich das Display nur am Netzschalter des Geräts wieder "
                 "einschalten."),
        tr("Trotzdem „%1“").arg(name)};
    m_dialog = openConfirmation(
        this, confirmation, [this, state] { m_controller.display().setPower(state); },
        [this, state] {
            if (m_confirm == state)
                m_confirm.reset();
        });
}
