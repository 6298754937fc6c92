// The value row of volume and brightness: what it shows while dragging and after, and what it
// asks its owner to do.
#include "app/widgets/ValueSlider.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

namespace {

QString shownText(const ValueSlider& row)
{
    return row.findChild<QLabel*>("figures")->text();
}

} // namespace

class ValueSliderTest : public QObject {
    Q_OBJECT

private slots:
    void dragShowsThePositionAndAsksForEveryStep()
    {
        ValueSlider row("speaker.fill", "speaker.wave.3.fill");
        row.setValue(30);
        QSignalSpy requested(&row, &ValueSlider::valueRequested);
        auto* slider = row.findChild<QSlider*>();

        slider->setSliderDown(true);
        slider->setSliderPosition(45);
        slider->setSliderPosition(60);
        QCOMPARE(row.dragValue(), std::optional(60.0));
        QCOMPARE(shownText(row), QStringLiteral("60"));
        QCOMPARE(requested.size(), 2);
        QCOMPARE(requested.at(0).at(0).toDouble(), 45.0);
        QCOMPARE(requested.at(1).at(0).toDouble(), 60.0);

        // The owner's value arriving during the drag does not move the slider under the hand.
        row.setValue(50);
        QCOMPARE(slider->value(), 60);
        QCOMPARE(shownText(row), QStringLiteral("60"));

        // After the drag the row follows the owner's value again.
        slider->setSliderDown(false);
        QCOMPARE(row.dragValue(), std::nullopt);
        QCOMPARE(shownText(row), QStringLiteral("50"));
        QCOMPARE(slider->value(), 50);
        QCOMPARE(requested.size(), 2);
    }

    void keyboardAndGrooveAskWithoutADrag()
    {
        ValueSlider row("sun.min", "sun.max.fill");
        row.setValue(40);
        QSignalSpy requested(&row, &ValueSlider::valueRequested);
        auto* slider = row.findChild<QSlider*>();
        slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0).at(0).toDouble(), 41.0);
        QCOMPARE(row.dragValue(), std::nullopt);

        // Values set by the owner are no requests.
        row.setValue(70);
        QCOMPARE(requested.size(), 1);
        QCOMPARE(slider->value(), 70);

        // The step buttons ask for five either way.
        QSignalSpy steps(&row, &ValueSlider::stepRequested);
        const QList<QPushButton*> buttons = row.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 2);
        buttons.at(0)->click();
        buttons.at(1)->click();
        QCOMPARE(steps.size(), 2);
        QCOMPARE(steps.at(0).at(0).toInt(), -5);
        QCOMPARE(steps.at(1).at(0).toInt(), 5);
    }

    void shownValueIsAWholeNumber_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("position");
        QTest::newRow("whole") << 30.0 << "30" << 30;
        QTest::newRow("half rounds away from zero") << 40.5 << "41" << 41;
        QTest::newRow("below half") << 40.4 << "40" << 40;
        QTest::newRow("above the range keeps the number") << 130.0 << "130" << 100;
    }
    void shownValueIsAWholeNumber()
    {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QFETCH(int, position);
        ValueSlider row("speaker.fill", "speaker.wave.3.fill");
        row.setValue(value);
        QCOMPARE(shownText(row), shown);
        QCOMPARE(row.findChild<QSlider*>()->value(), position);
    }

    void dimmedDrawsTheFiguresInTheSecondaryColour()
    {
        ValueSlider row("speaker.fill", "speaker.wave.3.fill");
        QLabel* figures = row.findChild<QLabel*>("figures");
        const QColor normal = figures->palette().color(QPalette::WindowText);
        row.setDimmed(true);
        QVERIFY(figures->palette().color(QPalette::WindowText) != normal);
        row.setDimmed(false);
        QCOMPARE(figures->palette().color(QPalette::WindowText), normal);
    }
};

QTEST_MAIN(ValueSliderTest)
#include "test_value_slider.moc"
