// The main window by mouse wheel and keyboard: the wheel changes a value only where the user has
// put the focus, the keyboard reaches the tiles and the sidebar in the order they are seen, and
// controls without a text have a name.
#include "UiFixture.h"
#include "app/MainWindow.h"
#include "app/dashboard/AudioCard.h"
#include "app/widgets/TileButton.h"

#include <QAbstractButton>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpontaneKeyEvent>
#include <QWheelEvent>

namespace {

// A main window on a connected fake display, active, low enough that both columns scroll.
struct Window : UiFixture {
    MainWindow window{*controller, store.settings()};
    Window()
    {
        window.setFixedSize(1100, 700);
        window.show();
        QApplication::setActiveWindow(&window);
        connect();
    }
};

// A turn of the wheel over the middle of the widget, delivered as the window system does.
void turnWheel(QWidget* widget, int delta)
{
    QWidget* window = widget->window();
    const QPoint at = widget->mapTo(window, widget->rect().center());
    QWidget* under = window->childAt(at);
    QWheelEvent wheel(under->mapFrom(window, at), window->mapToGlobal(at), {}, {0, delta},
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    // Not sendEvent(), which makes every event a synthetic one: those are not passed on.
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(under, &wheel);
}

// The widgets Tab visits inside `area`, in the order it visits them.
QList<QWidget*> tabChain(QWidget* area)
{
    QList<QWidget*> chain;
    QWidget* w = area;
    while ((w = w->nextInFocusChain()) != area) {
        if (area->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisible() &&
            w->isEnabled() && !w->focusProxy())
            chain.append(w);
    }
    return chain;
}

} // namespace

class InputTest : public QObject {
    Q_OBJECT

private slots:
    void wheelChangesOnlyWhatHasTheFocus_data()
    {
        QTest::addColumn<QString>("control");
        QTest::newRow("slider") << "volume";
        QTest::newRow("picker") << "baudRatePicker";
        QTest::newRow("stepper") << "pollIntervalStepper";
    }
    void wheelChangesOnlyWhatHasTheFocus()
    {
        QFETCH(QString, control);
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        DisplayController& c = *w.controller;
        QWidget* target = control == "volume"
                              ? w.window.findChild<AudioCard*>()->findChild<QSlider*>()
                              : child<QWidget>(&w.window, control);
        std::function<double()> value = [&] { return c.pollingInterval(); };
        if (control == "volume")
            value = [&] { return c.display().volume; };
        else if (control == "baudRatePicker")
            value = [&] { return double(c.settings().baudRate); };
        auto* page = qobject_cast<QScrollArea*>(target->parentWidget());
        for (QWidget* p = target; !page; p = p->parentWidget())
            page = qobject_cast<QScrollArea*>(p);
        page->ensureWidgetVisible(target);
        QScrollBar* bar = page->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        const int delta = bar->value() == bar->maximum() ? 120 : -120;
        const double before = value();
        const int scrolled = bar->value();

        turnWheel(target, delta);
        QCOMPARE(value(), before);
        QVERIFY(bar->value() != scrolled); // the page scrolled instead
        QVERIFY(!target->hasFocus());

        page->ensureWidgetVisible(target);
        target->setFocus(Qt::TabFocusReason);
        turnWheel(target, delta);
        QVERIFY(value() != before);
    }

    void tabFollowsTheVisualOrder_data()
    {
        QTest::addColumn<QString>("area");
        QTest::newRow("sidebar") << "connectionSidebar";
        QTest::newRow("dashboard") << "dashboardView";
    }
    void tabFollowsTheVisualOrder()
    {
        QFETCH(QString, area);
        Window w;
        w.window.setFixedSize(1600, 1600); // everything at once on screen
        QWidget* content = child<QScrollArea>(&w.window, area)->widget();
        const QList<QWidget*> chain = tabChain(content);
        QVERIFY(chain.size() >= 8);
        for (qsizetype i = 1; i < chain.size(); ++i) {
            const QRect a(chain[i - 1]->mapTo(content, QPoint()), chain[i - 1]->size());
            const QRect b(chain[i]->mapTo(content, QPoint()), chain[i]->size());
            // Reading order within a column of cards: below, or right of it on the same line;
            // the next card may start a new column at the top.
            const bool sameLine = b.top() < a.bottom() && a.top() < b.bottom();
            const bool onward = sameLine ? b.left() >= a.right() : b.top() >= a.top();
            const bool nextColumn = b.left() > a.right() && !sameLine;
            QVERIFY2(onward || nextColumn, qPrintable(chain[i]->property("text").toString()));
        }
    }

    void arrowsMoveWithinATileGroupAndReturnPresses()
    {
        Window w;
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
        auto* first = withText<TileButton>(&w.window, "HDMI 1");
        auto* second = withText<TileButton>(&w.window, "HDMI 2");
        first->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Right);
        QVERIFY(second->hasFocus());
        press(Qt::Key_Down);
        auto* below = qobject_cast<TileButton*>(QApplication::focusWidget());
        QVERIFY(below && below->y() > second->y() && below->x() == second->x());
        press(Qt::Key_Up);
        press(Qt::Key_Left);
        QVERIFY(first->hasFocus());

        bool pressed = false;
        const QStringList sent = w.sentBy([&] {
            press(Qt::Key_Return); // an animated click
            pressed = QTest::qWaitFor([&] { return w.controller->display().input == "hdmi1"; });
        });
        QVERIFY(pressed && sent.contains("set input=hdmi1"));
    }

    void controlsWithoutTextHaveANameAndATooltip()
    {
        Window w;
        int named = 0;
        for (QAbstractButton* button : w.window.findChildren<QAbstractButton*>()) {
            if (!button->text().isEmpty() || !button->isVisible())
                continue;
            QVERIFY2(!button->accessibleName().isEmpty() && !button->toolTip().isEmpty(),
                     button->metaObject()->className());
            ++named;
        }
        QVERIFY(named >= 6); // the slider steps and the two switches at least
    }
};

QTEST_MAIN(InputTest)
#include "test_input.moc"
