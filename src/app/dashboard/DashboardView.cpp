#include "app/dashboard/DashboardView.h"

#include "app/dashboard/AudioCard.h"
#include "app/dashboard/HeaderCard.h"
#include "app/dashboard/InputCard.h"
#include "app/dashboard/MaintenanceCard.h"
#include "app/dashboard/NotConnectedHint.h"
#include "app/dashboard/PictureCard.h"
#include "app/dashboard/PowerCard.h"
#include "app/dashboard/ReportingCard.h"
#include "app/style/Style.h"
#include "app/widgets/AdaptiveGridLayout.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "controller/PortList.h"
#include "controller/RemoteDisplay.h"
#include "line/LineAddress.h"

#include <QGraphicsOpacityEffect>
#include <QVBoxLayout>

namespace {

constexpr int margin = 20;
constexpr int spacing = 16;
constexpr int minimumColumnWidth = 300;
constexpr int maximumColumnWidth = 640;
// The cards stay readable but visibly out of reach while there is no line to the display: their
// normal colours at this opacity, not the disabled palette on top (grey on grey).
constexpr qreal disconnectedOpacity = 0.55;

int heightAt(const QWidget* widget, int width)
{
    return widget->hasHeightForWidth() ? widget->heightForWidth(width)
                                       : widget->sizeHint().height();
}

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
    m_header = new HeaderCard(controller, content);
    column->addWidget(m_header);
    m_hint = new NotConnectedHint(content);
    column->addWidget(m_hint);

    m_grid = new QWidget(content);
    m_cards = new AdaptiveGridLayout(minimumColumnWidth, maximumColumnWidth, spacing, m_grid);
    m_cards->addWidget(new PowerCard(controller, m_grid));
    m_cards->addWidget(new InputCard(controller, m_grid));
    m_cards->addWidget(new AudioCard(controller, m_grid));
    m_cards->addWidget(new PictureCard(controller, m_grid));
    m_cards->addWidget(new ReportingCard(controller, m_grid));
    m_cards->addWidget(new MaintenanceCard(controller, m_grid));
    column->addWidget(m_grid);
    column->addStretch(1);
    setWidget(content);

    m_dimming = new QGraphicsOpacityEffect(m_grid);
    m_dimming->setOpacity(disconnectedOpacity);
    m_grid->setGraphicsEffect(m_dimming);

    connect(&controller.display(), &RemoteDisplay::canActChanged, this,
            &DashboardView::refreshConnection);
    connect(&controller.line(), &LineSession::connectionChanged, this,
            &DashboardView::refreshConnection);
    connect(&controller.ports(), &PortList::selectedPathChanged, this,
            &DashboardView::refreshConnection);
    refreshConnection();
}

int DashboardView::heightForCardRows(int rows, int width) const
{
    const int inner = width - 2 * margin;
    int height =
        2 * margin + heightAt(m_header, inner) + spacing + m_cards->heightForRows(inner, rows);
    if (!m_hint->isHidden())
        height += heightAt(m_hint, inner) + spacing;
    return height;
}

void DashboardView::refreshConnection()
{
    // Inert with the reason while the controls cannot reach the display: a click then
    // neither sends nor changes anything.
    const RemoteDisplay& display = m_controller.display();
    const bool inert = !display.canAct();
    const ConnectionState& connection = m_controller.line().connection();
    const QString& selected = m_controller.ports().selectedPath();
    const LineAddress address = LineAddress::fromText(selected);
    using Line = NotConnectedHint::Line;
    const Line line = selected.isEmpty()      ? Line::none
                      : address.isNetwork()   ? Line::network
                      : address.isSimulator() ? Line::simulator
                                              : Line::device;
    // A failure belongs to the port it happened on; another choice starts afresh.
    if (!connection.is(ConnectionState::Case::failed))
        m_failedPath.clear();
    else if (m_failedPath.isEmpty())
        m_failedPath = selected;
    using Case = ConnectionState::Case;
    if (connection.is(Case::connected))
        m_hint->showResting(display.whyInert());
    else if (connection.is(Case::failed) && m_failedPath == selected)
        m_hint->showFailed(connection.reason);
    else if (connection.is(Case::waiting))
        m_hint->showWaiting(line);
    else
        m_hint->showNotConnected(line);
    m_hint->setVisible(inert);
    Style::disableKeepingLook(m_grid, inert);
    // Drawing through the effect costs an extra pass, so it is off at full opacity.
    m_dimming->setEnabled(inert);
}
