// bildwartctl: Bildwart's display control and line tests for scripts, room control
// set-ups, cron jobs and CI, on the same controller as the application.
#include "cli/commands/Command.h"
#include "cli/commands/Session.h"
#include "cli/invocation/InvocationParser.h"
#include "cli/invocation/VersionRequest.h"
#include "cli/output/Console.h"
#include "line/PathBytes.h"
#include "process/EpollEventDispatcher.h"
#include "process/TerminationSignals.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A script may start the tool with stdin, stdout or stderr closed. The next device opened
// would then get that number, and results would go out on the serial line: such a gap is
// filled with /dev/null first. Returns whether stdout was open.
bool occupyStandardDescriptors()
{
    const bool stdoutOpen = ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1)
            ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
    return stdoutOpen;
}

// The exit code, unless a result could not be written: then that is the failure.
int checkedExit(Console& console, int code)
{
    if (console.outputError() == 0)
        return code;
    console.err(console.outputErrorText());
    return int(ExitCode::displayFailed);
}

// Qt's own warnings (a stored value it cannot decode, say) are for developers; the tool
// says in its own words what matters. With -v they are shown.
bool g_qtWarningsShown = false;

void onQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg || g_qtWarningsShown)
        std::fprintf(stderr, "%s\n", qPrintable(visibleText(message)));
}

} // namespace

int main(int argc, char* argv[])
{
    // The time zone is read before any library starts a thread: later the web server's
    // threads only use it, and glibc's guard of it is one ThreadSanitizer cannot see.
    ::tzset();
    const bool stdoutOpen = occupyStandardDescriptors();
    // A reader that went away is a failed write to report, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    qInstallMessageHandler(onQtMessage);
    // serve holds a socket per line and one per line's guests: a turn of the loop must not
    // cost what is open.
    QCoreApplication::setEventDispatcher(new EpollEventDispatcher);
    QCoreApplication app(argc, argv);
    Console console(stdoutOpen);

    // Decoded byte for byte, so that a device path that is no valid UTF-8 can still be opened.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(decodePath(QByteArray(argv[i])));
    if (isVersionRequest(arguments)) {
        console.out(QStringLiteral("bildwartctl " BILDWART_VERSION));
        return checkedExit(console, int(ExitCode::success));
    }
    auto parsed = InvocationParser::parse(arguments);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        console.err(*error);
        return int(ExitCode::usage);
    }
    const Invocation& invocation = std::get<Invocation>(parsed);
    g_qtWarningsShown = invocation.verbose;
    if (invocation.command == Invocation::Command::help) {
        console.outBytes(InvocationParser::helpText().toUtf8());
        return checkedExit(console, int(ExitCode::success));
    }

    Session session(invocation, console);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &session, &Session::terminate);
    const std::unique_ptr<Command> command = Command::create(session);
    // From the running event loop, so that a command may end the run at once.
    QTimer::singleShot(0, &session, [&command] { command->start(); });
    return checkedExit(console, QCoreApplication::exec());
}
