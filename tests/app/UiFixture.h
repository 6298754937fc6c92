#pragma once

#include "ControllerFixture.h"

#include <QComboBox>
#include <QMessageBox>
#include <QSettings>
#include <QWidget>
#include <functional>
#include <type_traits>

// On fake lines and a clock moved by hand, so that nothing waits; with `simulators`, on the
// system's clock and real devices, for the one conversation with a built-in simulator.
struct UiFixture : ControllerFixture {
    explicit UiFixture(bool simulators = false)
    {
        realTime = simulators;
        make();
    }

    // Connects to a fake adapter whose display answers with `display`, past the start-up queries.
    void connect(FakeLines::Display display = answerEverything)
    {
        lines.display = std::move(display);
        connectTo(QStringLiteral("/dev/ttyUSB0"));
        clock->advance(1);
    }

    // Runs the action and returns the command lines the queue wrote for it.
    QStringList sentBy(const std::function<void()>& action)
    {
        const qsizetype mark = lines.lines.size();
        action();
        clock->advance(1);
        return lines.lines.mid(mark);
    }
};

// A shown view on the fixture's controller, and on its store if the view keeps anything there.
template <typename View>
struct With : UiFixture {
    View view = build();
    With() { view.show(); }

private:
    View build()
    {
        if constexpr (std::is_constructible_v<View, DisplayController&, QSettings&>)
            return View(*controller, store.settings());
        else
            return View(*controller);
    }
};

// A child by object name, or the first of the type that shows the text; missing ends the run.
template <typename T = QWidget>
T* child(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no child named %s", qPrintable(name));
    return found;
}
template <typename T>
T* withText(const QObject* parent, const QString& text)
{
    for (T* candidate : parent->findChildren<T*>()) {
        // Mnemonics ("&Sichern …") are no part of what the user reads.
        if (QString(candidate->text()).remove(u'&') == text)
            return candidate;
    }
    qFatal("nothing with the text %s", qPrintable(text));
}

// The one open confirmation, if any.
inline QMessageBox* dialog(const QWidget& view)
{
    for (QMessageBox* box : view.findChildren<QMessageBox*>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

// Chooses an entry of a picker as the user does, with the arrow keys.
inline void chooseInPicker(QComboBox* picker, int index)
{
    picker->setFocus();
    const int step = index > picker->currentIndex() ? Qt::Key_Down : Qt::Key_Up;
    while (picker->currentIndex() != index)
        QTest::keyClick(picker, Qt::Key(step));
}
