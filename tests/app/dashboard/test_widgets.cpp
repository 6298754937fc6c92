// The dashboard's building blocks: the adaptive grid of cards and tiles, the flowing rows of
// buttons, and the value row of volume and brightness while the user drags.
#include "app/widgets/AdaptiveGridLayout.h"
#include "app/widgets/FlowLayout.h"
#include "app/widgets/ValueSlider.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

namespace {

// QWidget has no settable size hint; a subclass gives one.
class Sized : public QWidget {
public:
    Sized(QWidget* parent, QSize hint)
        : QWidget(parent)
        , m_hint(hint)
    {
    }
    QSize sizeHint() const override { return m_hint; }
    QSize minimumSizeHint() const override { return {10, m_hint.height()}; }

private:
    QSize m_hint;
};

template <typename Layout>
QList<QWidget*> fill(QWidget& host, Layout* layout, const QList<QSize>& hints)
{
    QList<QWidget*> items;
    for (const QSize& hint : hints) {
        items.append(new Sized(&host, hint));
        layout->addWidget(items.last());
    }
    return items;
}

} // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

private slots:
    // Cards: at least 330, at most 640 wide (then centred), 16 apart, row by row.
    void gridColumnsFollowTheWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QRect>("first");
        QTest::newRow("narrower than a column") << 300 << 1 << QRect(0, 0, 300, 100);
        QTest::newRow("one column, capped, centred") << 670 << 1 << QRect(15, 0, 640, 100);
        QTest::newRow("two columns exactly") << 676 << 2 << QRect(0, 0, 330, 100);
        QTest::newRow("three columns shared") << 1100 << 3 << QRect(0, 0, 356, 100);
    }
    void gridColumnsFollowTheWidth()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QFETCH(QRect, first);
        QWidget host;
        auto* grid = new AdaptiveGridLayout(330, 640, 16, &host);
        const QList<QWidget*> items = fill(host, grid, QList<QSize>(6, {200, 100}));
        grid->setGeometry(QRect(0, 0, width, 1000));
        QCOMPARE(items[0]->geometry(), first);
        QCOMPARE(items[columns]->geometry().topLeft(), QPoint(first.left(), 116));
        const int rows = (6 + columns - 1) / columns;
        QCOMPARE(grid->heightForWidth(width), rows * 100 + (rows - 1) * 16);
    }

    void gridRowsKeepOrStretchHeightsAndSkipHiddenItems()
    {
        QWidget host;
        auto* grid = new AdaptiveGridLayout(100, 400, 10, &host);
        const QList<QWidget*> items = fill(host, grid, {{100, 80}, {100, 30}, {100, 5}, {100, 20}});
        items[2]->hide();
        grid->setGeometry(QRect(0, 0, 210, 500));                // two columns
        QCOMPARE(items[1]->geometry(), QRect(110, 0, 100, 30));  // cards keep their height
        QCOMPARE(items[3]->geometry().topLeft(), QPoint(0, 90)); // below the taller neighbour
        grid->setStretchToRowHeight(true);                       // tiles fill their row
        grid->setGeometry(QRect(0, 0, 210, 500));
        QCOMPARE(items[1]->height(), 80);
    }

    void flowWrapsCentresAndEndsWithTheLastItem()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 20, 8);
        const QList<QWidget*> items = fill(host, flow, {{100, 10}, {100, 30}, {100, 30}});
        flow->setLastItemTrailing(true);
        const std::tuple<int, int, QPoint> rows[] = {
            // width, height, where the last item goes
            {90, 86, {0, 56}},   // one per line, never wider than the line
            {300, 68, {0, 38}},  // the last wraps, at the start of its line
            {400, 30, {300, 0}}, // one line: the last at its end, the low item centred
        };
        for (const auto& [width, height, lastAt] : rows) {
            QCOMPARE(flow->heightForWidth(width), height);
            flow->setGeometry(QRect(0, 0, width, height));
            QCOMPARE(items[2]->geometry().topLeft(), lastAt);
            QVERIFY(items[2]->width() <= width);
        }
        QCOMPARE(items[0]->geometry().top(), 10);
    }

    void dragShowsThePositionAndAsksForEveryStep()
    {
        ValueSlider row("Lautst\u00E4rke", "speaker.fill", "speaker.wave.3.fill");
        row.setValue(30);
        QSignalSpy requested(&row, &ValueSlider::valueRequested);
        auto* slider = row.findChild<QSlider*>();
        auto* figures = row.findChild<QLabel*>("figures");
        slider->setSliderDown(true);
        slider->setSliderPosition(45);
        slider->setSliderPosition(60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        QCOMPARE(requested.size(), 2);
        QCOMPARE(requested.at(1).at(0).toDouble(), 60.0);
        // The owner's value arriving during the drag does not move the slider under the hand.
        row.setValue(50);
        QCOMPARE(slider->value(), 60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        // After the drag the row follows the owner's value again, without asking for it.
        slider->setSliderDown(false);
        QCOMPARE(figures->text(), QStringLiteral("50"));
        QCOMPARE(slider->value(), 50);
        QCOMPARE(requested.size(), 2);
    }
};

QTEST_MAIN(WidgetsTest)
#include "test_widgets.moc"
