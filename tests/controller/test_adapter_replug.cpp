// The whole chain on umockdev's fake device tree: the real port scan, the real
// hot-plug watcher and the controller, connected to an emulated FTDI adapter whose
// line is a pseudo-terminal. The test pulls the adapter and plugs it back in, as
// ttyUSB1 the second time, as a flaky adapter often returns; its stable name stays.
#include "ControllerFixture.h"
#include "ScriptedDisplay.h"
#include "serial/MockDeviceTree.h"
#include "serial/SystemPortScanner.h"
#include "serial/USBSerialWatcher.h"

namespace {

const QString byIdName = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K-if00-port0");
const QString byIdPath = QStringLiteral("/dev/serial/by-id/") + byIdName;

// The display at the adapter's far end: answers "get volume" with its volume, every other
// line with the prompt alone.
std::unique_ptr<ScriptedDisplay> farEndDisplay(int fd, int volume)
{
    return std::make_unique<ScriptedDisplay>(fd, [volume](const QString& line) {
        return line == u"get volume" ? "volume=" + QByteArray::number(volume) + "\r\n>"
                                     : QByteArray("\r\n>");
    });
}

} // namespace

class TestAdapterReplug : public QObject {
    Q_OBJECT

private:
    struct Adapter {
        QString device;
        QString interface;
        QString tty;
        QString node;
    };

    Adapter plugIn(MockDeviceTree& tree, const QString& node)
    {
        Adapter adapter;
        adapter.node = node;
        adapter.device = tree.add("usb", "1-1", {}, "usb_device", {},
                                  {{"idVendor", "0403"},
                                   {"idProduct", "6001"},
                                   {"product", "FT232R USB UART"},
                                   {"manufacturer", "FTDI"},
                                   {"serial", "A10K"}});
        adapter.interface = tree.add("usb", "1-1:1.0", adapter.device, "usb_interface", "ftdi_sio");
        adapter.tty = tree.addTty(adapter.interface, node, {byIdPath});
        tree.addByIdLink(byIdName, node);
        // udev announces the port once its stable link exists.
        tree.uevent(adapter.tty, "add");
        return adapter;
    }

    void pull(MockDeviceTree& tree, const Adapter& adapter)
    {
        tree.uevent(adapter.tty, "remove");
        tree.uevent(adapter.device, "remove");
        tree.remove(adapter.tty);
        tree.remove(adapter.interface);
        tree.remove(adapter.device);
        tree.removeByIdLink(byIdName);
        tree.hangUp(adapter.node);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(MockDeviceTree().isSeen(),
                 "needs umockdev's preload library: run it as umockdev-wrapper <test>");
    }

    void pulledAdapterIsWaitedForAndReconnected()
    {
        MockDeviceTree tree;
        const Adapter first = plugIn(tree, "ttyUSB0");
        auto display = farEndDisplay(tree.deviceEnd("ttyUSB0"), 30);

        ControllerFixture fixture;
        ControllerOptions options;
        options.connectAtStartup = false;
        options.scanner = std::make_shared<SystemPortScanner>();
        // udev's stream only: umockdev plays it, whether or not this machine runs udev.
        options.hotplug =
            std::make_shared<USBSerialWatcher>(USBSerialWatcher::DirectoryWatch::never);
        fixture.controller = std::make_unique<DisplayController>(fixture.store.settings(), options);
        DisplayController& controller = *fixture.controller;

        QCOMPARE(controller.selectedPath(), byIdPath);
        controller.connectLine();
        QCOMPARE(controller.connection(), ConnectionState::connected());
        QTRY_COMPARE_WITH_TIMEOUT(controller.display().volume, 30.0, waitMs);

        display.reset();
        pull(tree, first);
        QTRY_COMPARE_WITH_TIMEOUT(controller.connection(), ConnectionState::waiting(), waitMs);
        QCOMPARE(controller.dropouts().size(), 1);
        QCOMPARE(fixture.logTexts(Kind::error).size(), 1);
        QCOMPARE(controller.wantedPath(), std::optional(byIdPath));

        plugIn(tree, "ttyUSB1");
        display = farEndDisplay(tree.deviceEnd("ttyUSB1"), 40);
        QTRY_COMPARE_WITH_TIMEOUT(controller.connection(), ConnectionState::connected(), waitMs);
        QCOMPARE(controller.reconnects(), 1);
        // The commands now reach the display behind the new node.
        QTRY_COMPARE_WITH_TIMEOUT(controller.display().volume, 40.0, waitMs);
        QCOMPARE(controller.dropouts().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAdapterReplug)
#include "test_adapter_replug.moc"
