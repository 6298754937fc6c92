#include "app/sidebar/ConnectionSidebar.h"

#include "app/sidebar/PortSection.h"
#include "app/sidebar/SerialParameterSection.h"
#include "app/sidebar/StatisticsSection.h"
#include "app/style/Style.h"
#include "app/widgets/FormSection.h"
#include "app/widgets/SegmentedControl.h"
#include "controller/DisplayController.h"
#include "controller/RemoteDisplay.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

// Column width of the sidebar.
constexpr int columnMinimumWidth = 280;
constexpr int columnMaximumWidth = 360;

} // namespace

ConnectionSidebar::ConnectionSidebar(DisplayController& controller, QWidget* parent)
    : QScrollArea(parent)
    , m_controller(controller)
{
    setObjectName(QStringLiteral("connectionSidebar"));
    setMinimumWidth(columnMinimumWidth);
    setMaximumWidth(columnMaximumWidth);
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    // Never sideways: everything in the column fits its width at any font from 9 to 13 pt.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(18);
    layout->addWidget(new PortSection(controller, content));
    layout->addWidget(new SerialParameterSection(controller, content));
    layout->addWidget(makeSeriesSection());
    layout->addWidget(new StatisticsSection(controller, content));
    layout->addStretch(1);
    setWidget(content);
}

QWidget* ConnectionSidebar::makeSeriesSection()
{
    auto* section = new FormSection(tr("Display"));
    section->setObjectName(QStringLiteral("seriesSection"));

    const QList<DisplaySeries> series{DisplaySeries::qx, DisplaySeries::rx};
    QStringList labels;
    for (const DisplaySeries each : series)
        labels.append(QStringLiteral("SMART ") + rawValue(each));
    auto* segments = new SegmentedControl(labels, section);
    segments->setObjectName(QStringLiteral("seriesPicker"));
    section->addRow(tr("Reihe"), segments);

    auto* hint =
        new QLabel(tr("Wird beim Verbinden aus „get modelnum“ automatisch erkannt."), section);
    hint->setWordWrap(true);
    Style::makeCaption(hint);
    section->addWidget(hint);

    QObject::connect(segments, &SegmentedControl::activated, this, [this, series](int index) {
        m_controller.display().setSeries(series.at(index));
    });
    const auto showSeries = [this, segments, series] {
        segments->setCurrentIndex(series.indexOf(m_controller.display().series()));
    };
    QObject::connect(&m_controller.display(), &RemoteDisplay::seriesChanged, this, showSeries);
    showSeries();
    return section;
}
