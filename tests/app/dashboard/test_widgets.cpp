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
QList<QWidget*> fill(QWidget& host, Layout* layout, QList<QSize> hints)
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
    void gridColumnsFollowTheWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("columnWidth");
        QTest::addColumn<int>("left"); // of the first column
        // Cards: at least 330, at most 640, 16 apart.
        QTest::newRow("narrower than one column") << 300 << 1 << 300 << 0;
        QTest::newRow("one column capped and centred") << 670 << 1 << 640 << 15;
        QTest::newRow("two columns exactly") << 676 << 2 << 330 << 0;
        QTest::newRow("three columns shared") << 1100 << 3 << 356 << 0;
    }
    void gridColumnsFollowTheWidth()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QFETCH(int, columnWidth);
        QFETCH(int, left);
        QWidget host;
        auto* grid = new AdaptiveGridLayout(330, 640, 16, &host);
        const QList<QWidget*> items = fill(host, grid, QList<QSize>(6, {200, 100}));
        grid->setGeometry(QRect(0, 0, width, 1000));
        QCOMPARE(items[0]->geometry(), QRect(left, 0, columnWidth, 100));
        // Row by row: the item after the first row starts the second one.
        QCOMPARE(items[columns]->geometry().topLeft(), QPoint(left, 116));
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

    void flowWrapsWhenTheLineIsFull_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QPoint>("thirdAt");
        QTest::newRow("one line") << 400 << 30 << QPoint(240, 0);
        QTest::newRow("third wraps") << 300 << 68 << QPoint(0, 38);
        QTest::newRow("one per line, never wider than the line") << 90 << 106 << QPoint(0, 76);
    }
    void flowWrapsWhenTheLineIsFull()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QPoint, thirdAt);
        QWidget host;
        auto* flow = new FlowLayout(&host, 20, 8);
        const QList<QWidget*> items = fill(host, flow, QList<QSize>(3, {100, 30}));
        QCOMPARE(flow->heightForWidth(width), height);
        flow->setGeometry(QRect(0, 0, width, height));
        QCOMPARE(items[2]->geometry().topLeft(), thirdAt);
        QVERIFY(items[2]->width() <= width);
    }

    void flowCentresALineAndCanPushTheLastItemToTheEnd()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 10, 8);
        const QList<QWidget*> items = fill(host, flow, {{50, 10}, {50, 30}, {50, 30}});
        flow->setLastItemTrailing(true);
        flow->setGeometry(QRect(0, 0, 300, 30));
        QCOMPARE(items[0]->geometry().top(), 10);
        QCOMPARE(items[2]->geometry().right(), 299);
        flow->setGeometry(QRect(0, 0, 120, 68)); // alone on its line: at the left
        QCOMPARE(items[2]->geometry().topLeft(), QPoint(0, 38));
    }

    void dragShowsThePositionAndAsksForEveryStep()
    {
        ValueSlider row("speaker.fill", "speaker.wave.3.fill");
        row.setValue(30);
        QSignalSpy requested(&row, &ValueSlider::valueRequested);
        auto* slider = row.findChild<QSlider*>();
        auto* figures = row.findChild<QLabel*>("figures");
        slider->setSliderDown(true);
        slider->setSliderPosition(45);
        slider->setSliderPosition(60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        QCOMPARE(requested, (QList<QVariantList>{{45.0}, {60.0}}));
        // The owner's value arriving during the drag does not move the slider under the hand.
        row.setValue(50);
        QCOMPARE(slider->value(), 60);
        QCOMPARE(figures->text(), QStringLiteral("60"));
        // After the drag the row follows the owner's value again, without asking for it.
        slider->setSliderDown(false);
        QCOMPARE(row.dragValue(), std::nullopt);
        QCOMPARE(figures->text(), QStringLiteral("50"));
        QCOMPARE(slider->value(), 50);
        QCOMPARE(requested.size(), 2);
    }
};

QTEST_MAIN(WidgetsTest)
#include "test_widgets.moc"
