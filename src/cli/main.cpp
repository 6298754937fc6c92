// bildwartctl: Bildwart's display control and line tests for scripts, room control
// set-ups, cron jobs and CI, on the same controller as the application.
#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/InvocationParser.h"
#include "cli/Session.h"
#include "cli/VersionRequest.h"

#include <QCoreApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Console console;

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (isVersionRequest(arguments)) {
        console.out(QStringLiteral("bildwartctl " BILDWART_VERSION));
        return int(ExitCode::success);
    }
    auto parsed = InvocationParser::parse(arguments);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        console.err(*error);
        return int(ExitCode::usage);
    }
    const Invocation& invocation = std::get<Invocation>(parsed);
    if (invocation.command == Invocation::Command::help) {
        console.outBytes(InvocationParser::helpText().toUtf8());
        return int(ExitCode::success);
    }

    Session session(invocation, console);
    const std::unique_ptr<Command> command = Command::create(session);
    // From the running event loop, so that a command may end the run at once.
    QTimer::singleShot(0, &session, [&command] { command->start(); });
    return QCoreApplication::exec();
}
