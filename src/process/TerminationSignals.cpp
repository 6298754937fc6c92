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
    if (handlerPipe.load() >= 0 || ::pipe2(m_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    handlerPipe.store(m_pipe[1]);
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
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
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void TerminationSignals::drain()
{
    unsigned char byte = 0;
    while (::read(m_pipe[0], &byte, 1) == 1)
        emit received(byte);
}
