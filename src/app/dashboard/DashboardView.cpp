#include "app/dashboard/DashboardView.h"

#include "app/dashboard/AudioCard.h"
#include "app/dashboard/HeaderCard.h"
#include "app/dashboard/InputCard.h"
#include "app/dashboard/MaintenanceCard.h"
#include "app/dashboard/NotConnectedHint.h"
#include "app/dashboard/PictureCard.h"
#include "app/dashboard/PowerCard.h"
#include "app/dashboard/ReportingCard.h"
#include "app/widgets/AdaptiveGridLayout.h"
#include "controller/DisplayController.h"

#include <QGraphicsOpacityEffect>
#include <QVBoxLayout>

namespace {

constexpr int margin = 20;
constexpr int spacing = 16;
constexpr int minimumColumnWidth = 330;
constexpr int maximumColumnWidth = 640;
// The cards stay readable but visibly out of reach while there is no line to the display.
constexpr qreal disconnectedOpacity = 0.55;

} // namespace

DashboardView::DashboardView(DisplayController& controller, QWidget* parent)
    : QScrollArea(parent)
    , m_controller(controller)
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);

    auto* content = new QWidget(this);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(spacing);
    column->addWidget(new HeaderCard(controller, content));
    m_hint = new NotConnectedHint(content);
    column->addWidget(m_hint);

    m_grid = new QWidget(content);
    auto* cards = new AdaptiveGridLayout(minimumColumnWidth, maximumColumnWidth, spacing, m_grid);
    cards->addWidget(new PowerCard(controller, m_grid));
    cards->addWidget(new InputCard(controller, m_grid));
    cards->addWidget(new AudioCard(controller, m_grid));
    cards->addWidget(new PictureCard(controller, m_grid));
    cards->addWidget(new ReportingCard(controller, m_grid));
    cards->addWidget(new MaintenanceCard(controller, m_grid));
    column->addWidget(m_grid);
    column->addStretch(1);
    setWidget(content);

    m_dimming = new QGraphicsOpacityEffect(m_grid);
    m_dimming->setOpacity(disconnectedOpacity);
    m_grid->setGraphicsEffect(m_dimming);

    connect(&controller, &DisplayController::connectionChanged, this,
            &DashboardView::refreshConnection);
    refreshConnection();
}

void DashboardView::refreshConnection()
{
    const bool connected = m_controller.connection().is(ConnectionState::Case::connected);
    m_hint->setVisible(!connected);
    m_grid->setEnabled(connected);
    // Drawing through the effect costs an extra pass, so it is off at full opacity.
    m_dimming->setEnabled(!connected);
}
