// The whole chain on umockdev's fake device tree: the real port scan, the real
// hot-plug watcher and the controller, connected to an emulated FTDI adapter whose
// line is a pseudo-terminal. The test pulls the adapter and plugs it back in, as
// ttyUSB1 the second time, as a flaky adapter often returns; its stable name stays.
#include "ControllerFixture.h"
#include "serial/MockDeviceTree.h"
#include "serial/SystemPortScanner.h"
#include "serial/USBSerialWatcher.h"

#include <QSocketNotifier>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Generous: CI is a slow, shared machine, and sanitizers slow it further.
constexpr int timeoutMs = 10000;

const QString byIdName = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K-if00-port0");
const QString byIdPath = QStringLiteral("/dev/serial/by-id/") + byIdName;

// The display at the adapter's far end: answers "get volume" with its volume, every
// other line with an empty reply, each followed by the prompt.
class FarEndDisplay {
public:
    FarEndDisplay(int fd, int volume)
        : m_fd(fd)
        , m_volume(volume)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier,
                         [this] { readLines(); });
    }

    int lines = 0;

private:
    void readLines()
    {
        char buffer[256];
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count <= 0)
            return;
        for (ssize_t i = 0; i < count; ++i) {
            if (buffer[i] == '\r') {
                answer();
                m_line.clear();
            } else if (buffer[i] != '\n') {
                m_line.append(buffer[i]);
            }
        }
    }

    void answer()
    {
        ++lines;
        const QByteArray reply = m_line == "get volume"
                                     ? "volume=" + QByteArray::number(m_volume) + "\r\n>"
                                     : QByteArray("\r\n>");
        (void)!::write(m_fd, reply.constData(), size_t(reply.size()));
    }

    int m_fd;
    int m_volume;
    QSocketNotifier m_notifier;
    QByteArray m_line;
};

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

    static bool logHas(const ControllerFixture& fixture, LogEntry::Kind kind, const QString& text)
    {
        return fixture.logTexts(kind).contains(text);
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
        auto display = std::make_unique<FarEndDisplay>(tree.deviceEnd("ttyUSB0"), 30);

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
        controller.connect();
        QCOMPARE(controller.connection(), ConnectionState::connected());
        QTRY_COMPARE_WITH_TIMEOUT(controller.volume(), 30.0, timeoutMs);

        display.reset();
        pull(tree, first);
        QTRY_COMPARE_WITH_TIMEOUT(controller.connection(), ConnectionState::waiting(), timeoutMs);
        QVERIFY(logHas(fixture, LogEntry::Kind::info,
                       "Warte auf den Wandler – verbindet sich selbst, sobald er wieder da ist"));
        QCOMPARE(controller.dropouts().size(), 1);
        QCOMPARE(fixture.logTexts(LogEntry::Kind::error).size(), 1);
        QVERIFY(fixture.logTexts(LogEntry::Kind::error)
                    .first()
                    .startsWith("Verbindung zum Wandler abgerissen: "));
        QCOMPARE(controller.wantedPath(), std::optional(byIdPath));

        plugIn(tree, "ttyUSB1");
        display = std::make_unique<FarEndDisplay>(tree.deviceEnd("ttyUSB1"), 40);
        QTRY_VERIFY_WITH_TIMEOUT(
            logHas(fixture, LogEntry::Kind::info,
                   "Wandler wieder da – automatisch neu verbunden (Versuch 1)"),
            timeoutMs);
        QCOMPARE(controller.connection(), ConnectionState::connected());
        QCOMPARE(controller.reconnects(), 1);
        // The commands now reach the display behind the new node.
        QTRY_COMPARE_WITH_TIMEOUT(controller.volume(), 40.0, timeoutMs);
        QCOMPARE(controller.dropouts().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAdapterReplug)
#include "test_adapter_replug.moc"
