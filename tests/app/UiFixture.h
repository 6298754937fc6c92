#pragma once

#include "ControllerFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLocale>
#include <QWidget>

// The controller of the window tests, on the system's clock so that the simulators answer and
// time goes on.
struct UiFixture : ControllerFixture {
    UiFixture()
    {
        realTime = true;
        make();
    }

    // Connects to a built-in simulator and waits until the line is open (and, for the display
    // simulator, until the display has answered).
    bool connectTo(const QString& path)
    {
        ControllerFixture::connectTo(path);
        const bool waitForAnswer = path == SerialPortInfo::smartSimulatorPath;
        return QTest::qWaitFor(
            [&] {
                return controller->connection().is(ConnectionState::Case::connected) &&
                       (!waitForAnswer || controller->displayResponding());
            },
            waitMs);
    }
};

// A child widget by object name (or, with a text, the first child of the type showing that
// text); a missing one ends the test run loudly.
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
        if (candidate->text() == text)
            return candidate;
    }
    qFatal("nothing with the text %s", qPrintable(text));
}

// Chooses an entry of a picker the way the user does (the picker reports "activated"),
// with the arrow keys.
inline void chooseInPicker(QComboBox* picker, int index)
{
    picker->setFocus();
    const int step = index > picker->currentIndex() ? Qt::Key_Down : Qt::Key_Up;
    while (picker->currentIndex() != index)
        QTest::keyClick(picker, Qt::Key(step));
}
