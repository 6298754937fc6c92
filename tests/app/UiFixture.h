#pragma once

#include "controller/ControllerFixture.h"
#include "serial/SerialPortInfo.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLocale>
#include <QTest>
#include <QWidget>

// The controller of the window tests: a temporary store, ports and hot-plug under the test's
// control, and the real clock, so that the simulators answer and time goes on.
struct UiFixture {
    TemporaryStore store;
    std::shared_ptr<TestPortScanner> scanner = std::make_shared<TestPortScanner>();
    std::shared_ptr<TestHotplug> hotplug = std::make_shared<TestHotplug>();
    std::unique_ptr<DisplayController> controller;

    UiFixture() { make(); }

    DisplayController& make()
    {
        controller.reset();
        ControllerOptions options;
        options.connectAtStartup = false;
        options.scanner = scanner;
        options.hotplug = hotplug;
        controller = std::make_unique<DisplayController>(store.settings(), options);
        return *controller;
    }

    // Connects to a built-in simulator and waits until the line is open (and, for the display
    // simulator, until the display has answered).
    bool connectTo(const QString& path)
    {
        controller->setSelectedPath(path);
        controller->connect(false);
        const bool waitForAnswer = path == SerialPortInfo::smartSimulatorPath;
        return QTest::qWaitFor(
            [&] {
                return controller->connection().is(ConnectionState::Case::connected) &&
                       (!waitForAnswer || controller->displayResponding());
            },
            10000);
    }
};

// A child widget by object name; a missing one ends the test run loudly.
template <typename T = QWidget>
T* child(const QObject* parent, const QString& name)
{
    T* found = parent->findChild<T*>(name);
    if (!found)
        qFatal("no child named %s", qPrintable(name));
    return found;
}

// Texts with German number formatting, whatever the machine's locale.
inline void useGermanLocale()
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
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
