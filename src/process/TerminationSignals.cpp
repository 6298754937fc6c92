// The POSIX signal handling of both programs lives here alone: a handler may do next to
// nothing, so it writes the signal's number into a pipe (the self-pipe pattern) and
// the event loop reads it from there.
#include "process/TerminationSignals.h"

#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> handledSignals{SIGINT, SIGTERM, SIGHUP};

// The write end for the handler; -1 while no instance exists.
std::atomic<int> handlerPipe{-1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds an unread wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(handlerPipe.load(), &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    std::array<int, 2> ends{-1, -1};
    if (handlerPipe.load() >= 0 || ::pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_readEnd.reset(ends[0]);
    m_writeEnd.reset(ends[1]);
    handlerPipe.store(m_writeEnd.get());
    m_notifier = std::make_unique<QSocketNotifier>(m_readEnd.get(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this,
                     &TerminationSignals::drain);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &action, &m_previous[i]);
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &m_previous[i], nullptr);
    m_notifier.reset();
    handlerPipe.store(-1);
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    while (::read(m_readEnd.get(), &byte, 1) == 1)
        emit received(byte);
}
