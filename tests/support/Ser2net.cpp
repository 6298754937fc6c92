#include "Ser2net.h"

#include "Support.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Whether something listens on the port, read from the kernel's table. Not by connecting:
// ser2net would open the device for that connection and turn away the next one while it
// closes it again.
bool listens(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // sl local_address rem_address st …; st 0A is LISTEN
        if (fields.size() > 3 && fields.at(1).endsWith(local) && fields.at(3) == "0A")
            return true;
    }
    return false;
}

} // namespace

Ser2net::Ser2net(const QString& device)
    : m_rawPort(freePort())
    , m_rfc2217Port(freePort())
{
    QFile config(m_dir.filePath(QStringLiteral("ser2net.yaml")));
    if (!config.open(QIODevice::WriteOnly))
        return;
    const QString connection = QStringLiteral("connection: &%1\n"
                                              "  accepter: %2tcp,127.0.0.1,%3\n"
                                              "  connector: serialdev,%4,19200n81,local\n");
    config.write(connection.arg("raw", "", QString::number(m_rawPort), device).toUtf8());
    config.write(
        connection.arg("rfc", "telnet(rfc2217),", QString::number(m_rfc2217Port), device).toUtf8());
}

Ser2net::~Ser2net()
{
    kill();
}

bool Ser2net::start()
{
    // fork() rather than QProcess: ThreadSanitizer follows a real fork, but not the
    // vfork-like clone QProcess uses, whose child shares the test's memory.
    const QByteArray config = m_dir.filePath(QStringLiteral("ser2net.yaml")).toLocal8Bit();
    m_pid = ::fork();
    if (m_pid == 0) {
        // Dies with the test, and keeps none of its descriptors (a build lock among them).
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::close_range(3, ~0U, 0);
        // -n: in the foreground, -d: no daemon; the configuration is this test's alone.
        ::execlp("ser2net", "ser2net", "-n", "-d", "-c", config.constData(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_pid < 0)
        return false;
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        if (listens(m_rawPort) && listens(m_rfc2217Port))
            return true;
        QThread::msleep(20);
    }
    return false;
}

void Ser2net::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

QString Ser2net::rawAddress() const
{
    return QStringLiteral("tcp://127.0.0.1:%1").arg(m_rawPort);
}

QString Ser2net::rfc2217Address() const
{
    return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_rfc2217Port);
}

quint16 Ser2net::freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}
