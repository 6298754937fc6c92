// The two layouts that keep the dashboard usable at any window width: the adaptive grid of
// cards and tiles, and the flowing rows of buttons.
#include "app/widgets/AdaptiveGridLayout.h"
#include "app/widgets/FlowLayout.h"

#include <QTest>
#include <QWidget>

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

} // namespace

class AdaptiveLayoutsTest : public QObject {
    Q_OBJECT

private slots:
    void columnsFollowTheWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("columnWidth");
        QTest::addColumn<int>("left"); // of the first column, relative to the layout
        // Cards: at least 330, at most 640, 16 apart.
        QTest::newRow("narrower than one column") << 300 << 1 << 300 << 0;
        QTest::newRow("one column") << 600 << 1 << 600 << 0;
        QTest::newRow("one column capped and centred") << 670 << 1 << 640 << 15;
        QTest::newRow("two columns exactly") << 676 << 2 << 330 << 0;
        QTest::newRow("two columns shared") << 800 << 2 << 392 << 0;
        QTest::newRow("three columns") << 1100 << 3 << 356 << 0;
    }
    void columnsFollowTheWidth()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QFETCH(int, columnWidth);
        QFETCH(int, left);
        QWidget host;
        auto* grid = new AdaptiveGridLayout(330, 640, 16, &host);
        QList<QWidget*> items;
        for (int i = 0; i < 6; ++i) {
            items.append(new Sized(&host, {200, 100}));
            grid->addWidget(items.last());
        }
        QCOMPARE(grid->columnsFor(width), columns);
        grid->setGeometry(QRect(0, 0, width, 1000));
        QCOMPARE(items[0]->geometry().left(), left);
        QCOMPARE(items[0]->width(), columnWidth);
        // Items keep their order row by row.
        const int secondRowItem = columns < 6 ? columns : 0;
        if (columns > 1)
            QCOMPARE(items[1]->geometry().left(), left + columnWidth + 16);
        if (secondRowItem > 0) {
            QCOMPARE(items[secondRowItem]->geometry().left(), left);
            QCOMPARE(items[secondRowItem]->geometry().top(), 100 + 16);
        }
        const int rows = (6 + columns - 1) / columns;
        QCOMPARE(grid->heightForWidth(width), rows * 100 + (rows - 1) * 16);
    }

    void cardsKeepTheirHeightAtTheTopOfTheRow()
    {
        QWidget host;
        auto* grid = new AdaptiveGridLayout(100, 400, 10, &host);
        auto* tall = new Sized(&host, {100, 80});
        auto* short_ = new Sized(&host, {100, 30});
        auto* next = new Sized(&host, {100, 20});
        grid->addWidget(tall);
        grid->addWidget(short_);
        grid->addWidget(next);
        grid->setGeometry(QRect(0, 0, 210, 500)); // two columns
        QCOMPARE(short_->geometry().top(), 0);
        QCOMPARE(short_->height(), 30);
        QCOMPARE(next->geometry().top(), 80 + 10); // below the taller neighbour

        grid->setStretchToRowHeight(true); // tiles
        grid->setGeometry(QRect(0, 0, 210, 500));
        QCOMPARE(short_->height(), 80);
    }

    void hiddenItemsLeaveNoGap()
    {
        QWidget host;
        auto* grid = new AdaptiveGridLayout(100, 400, 10, &host);
        auto* first = new Sized(&host, {100, 30});
        auto* hidden = new Sized(&host, {100, 30});
        auto* third = new Sized(&host, {100, 30});
        grid->addWidget(first);
        grid->addWidget(hidden);
        grid->addWidget(third);
        hidden->hide();
        grid->setGeometry(QRect(0, 0, 210, 500));
        QCOMPARE(third->geometry().topLeft(), QPoint(110, 0));
    }

    void flowWrapsWhenTheLineIsFull_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QPoint>("thirdAt");
        QTest::newRow("all on one line") << 400 << 30 << QPoint(240, 0);
        QTest::newRow("third wraps") << 300 << 30 + 8 + 30 << QPoint(0, 38);
        QTest::newRow("one per line") << 90 << 3 * 30 + 2 * 8 << QPoint(0, 76);
    }
    void flowWrapsWhenTheLineIsFull()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QPoint, thirdAt);
        QWidget host;
        auto* flow = new FlowLayout(&host, 20, 8);
        QList<QWidget*> items;
        for (int i = 0; i < 3; ++i) {
            items.append(new Sized(&host, {100, 30}));
            flow->addWidget(items.last());
        }
        QCOMPARE(flow->heightForWidth(width), height);
        flow->setGeometry(QRect(0, 0, width, height));
        QCOMPARE(items[2]->geometry().topLeft(), thirdAt);
        // Never wider than the line, even for an item that asks for more.
        QVERIFY(items[2]->width() <= width);
    }

    void flowCentresItemsOfALineAndCanPushTheLastToTheEnd()
    {
        QWidget host;
        auto* flow = new FlowLayout(&host, 10, 8);
        auto* low = new Sized(&host, {50, 10});
        auto* high = new Sized(&host, {50, 30});
        auto* last = new Sized(&host, {50, 30});
        flow->addWidget(low);
        flow->addWidget(high);
        flow->addWidget(last);
        flow->setLastItemTrailing(true);
        flow->setGeometry(QRect(0, 0, 300, 30));
        QCOMPARE(low->geometry().top(), 10);
        QCOMPARE(last->geometry().right(), 299);

        // Alone on its line it starts at the left like everything else.
        flow->setGeometry(QRect(0, 0, 120, 68));
        QCOMPARE(last->geometry().topLeft(), QPoint(0, 38));
    }
};

QTEST_MAIN(AdaptiveLayoutsTest)
#include "test_adaptive_layouts.moc"
