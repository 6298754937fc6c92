// A fleet of displays behind raw-TCP gateway ports, in one process: N ports on 127.0.0.1, each
// the far end of one display's line. Every port has its own SimulatedDisplay, which answers
// whatever connection sends it a line, about a millisecond later, as a display behind a
// gateway does. bench_fleet starts it and runs clients against the ports.
//
// Usage: bench_gateway_fleet N TARGETSFILE
// Writes TARGETSFILE ("tcp://127.0.0.1:PORT Display K", one a line), prints "ready" and
// answers until stdin ends or a termination signal comes.
#include "process/TerminationSignals.h"
#include "simulator/SimulatedDisplay.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QList>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What a display takes for one answer: enough that answers do not come back within the same
// turn of the client's loop, small against the pause a client makes before a query.
constexpr auto answerLatency = 1ms;
constexpr int maxPorts = 16384;

// A port and a connection take a descriptor each; a thousand ports need more than the usual
// soft limit of 1024.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        std::perror("setrlimit");
}

struct Port {
    QTcpServer server;
    SimulatedDisplay display{DisplaySeries::qx};
};

// One client on a port. Answers leave one at a time, each after the latency: the display
// works through its lines in order. The timer and the queue go with the socket.
void serve(QTcpSocket* socket, SimulatedDisplay& display)
{
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(answerLatency);
    auto pending = std::make_shared<QList<QByteArray>>();
    QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, pending] {
        if (pending->isEmpty())
            return;
        socket->write(pending->takeFirst());
        if (!pending->isEmpty())
            timer->start();
    });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, timer, pending, &display] {
        // A gateway passes on every byte: the display hears all its clients on one line.
        pending->append(display.receive(socket->readAll()));
        if (!pending->isEmpty() && !timer->isActive())
            timer->start();
    });
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

} // namespace

int main(int argc, char** argv)
{
    raiseDescriptorLimit();
    QCoreApplication app(argc, argv);
    const int count = argc > 2 ? std::atoi(argv[1]) : 0;
    if (count < 1 || count > maxPorts) {
        std::fprintf(stderr, "usage: %s N TARGETSFILE (N from 1 to %d)\n", argv[0], maxPorts);
        return 2;
    }

    std::vector<std::unique_ptr<Port>> ports;
    ports.reserve(size_t(count));
    QByteArray targets;
    for (int i = 0; i < count; ++i) {
        auto port = std::make_unique<Port>();
        if (!port->server.listen(QHostAddress::LocalHost, 0)) {
            std::fprintf(stderr, "port %d of %d: %s\n", i + 1, count,
                         qPrintable(port->server.errorString()));
            return 1;
        }
        QTcpServer& server = port->server;
        SimulatedDisplay& display = port->display;
        display.setSerialNumber(QStringLiteral("SIM%1").arg(i + 1, 7, 10, QChar(u'0')));
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, &display] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                serve(socket, display);
        });
        targets += "tcp://127.0.0.1:" + QByteArray::number(server.serverPort()) + " Display " +
                   QByteArray::number(i + 1) + '\n';
        ports.push_back(std::move(port));
    }
    // Whole or not at all: a client that finds the file finds every port in it.
    QSaveFile file(QString::fromLocal8Bit(argv[2]));
    if (!file.open(QIODevice::WriteOnly) || file.write(targets) != targets.size() ||
        !file.commit()) {
        std::fprintf(stderr, "%s: %s\n", argv[2], qPrintable(file.errorString()));
        return 1;
    }

    // The starting program ends it by closing stdin; a person by Ctrl+D or Ctrl+C.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&input] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, &QCoreApplication::quit);

    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
