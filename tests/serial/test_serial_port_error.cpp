#include "serial/SerialPortError.h"

#include <QTest>
#include <cerrno>
#include <cstring>

namespace {

QString sys(int errnum)
{
    return QString::fromLocal8Bit(std::strerror(errnum));
}

} // namespace

class SerialPortErrorTest : public QObject {
    Q_OBJECT

private slots:
    void description_data()
    {
        QTest::addColumn<SerialPortError>("error");
        QTest::addColumn<QString>("expected");
        const QString path = QStringLiteral("/dev/ttyUSB0");
        QTest::newRow("busy") << SerialPortError::openFailed(path, EBUSY)
                              << path + QStringLiteral(" ist belegt – läuft noch ein "
                                                       "Terminalprogramm (screen, PuTTY, "
                                                       "CoolTerm)?");
        QTest::newRow("no such device")
            << SerialPortError::openFailed(path, ENOENT)
            << path + QStringLiteral(" lässt sich nicht öffnen: ") + sys(ENOENT);
        QTest::newRow("no permission")
            << SerialPortError::openFailed(path, EACCES)
            << path + QStringLiteral(" lässt sich nicht öffnen: ") + sys(EACCES);
        QTest::newRow("configure, tcgetattr")
            << SerialPortError::configureFailed(QStringLiteral("tcgetattr"))
            << QStringLiteral("Schnittstelle nicht einstellbar: tcgetattr");
        QTest::newRow("configure, tcsetattr")
            << SerialPortError::configureFailed(QStringLiteral("tcsetattr (") + sys(EINVAL) + ")")
            << QStringLiteral("Schnittstelle nicht einstellbar: tcsetattr (") + sys(EINVAL) + ")";
        QTest::newRow("write") << SerialPortError::writeFailed(EAGAIN)
                               << QStringLiteral("Senden fehlgeschlagen: ") + sys(EAGAIN);
        QTest::newRow("not open") << SerialPortError::notOpen()
                                  << QStringLiteral("Schnittstelle ist nicht geöffnet.");
    }

    void description()
    {
        QFETCH(SerialPortError, error);
        QFETCH(QString, expected);
        QCOMPARE(error.description(), expected);
    }

    void deviceGone_data()
    {
        QTest::addColumn<SerialPortError>("error");
        QTest::addColumn<bool>("gone");
        QTest::newRow("EIO") << SerialPortError::writeFailed(EIO) << true;
        QTest::newRow("ENODEV") << SerialPortError::writeFailed(ENODEV) << true;
        QTest::newRow("line full") << SerialPortError::writeFailed(EAGAIN) << false;
        QTest::newRow("open, ENODEV") << SerialPortError::openFailed("/dev/x", ENODEV) << false;
        QTest::newRow("not open") << SerialPortError::notOpen() << false;
    }

    void deviceGone()
    {
        QFETCH(SerialPortError, error);
        QFETCH(bool, gone);
        QCOMPARE(error.meansDeviceGone(), gone);
    }
};

QTEST_GUILESS_MAIN(SerialPortErrorTest)
#include "test_serial_port_error.moc"
