#include "cli/commands/RawCommand.h"

#include "cli/commands/Session.h"
#include "controller/CommandPump.h"
#include "controller/DisplayController.h"
#include "controller/LineSession.h"
#include "protocol/HexBytes.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cmath>

namespace {

// What the tool keeps of the answer: far more than a display ever says at once, and a
// peer that floods the line cannot grow memory beyond it.
constexpr qsizetype maxKeptBytes = 1024 * 1024;

} // namespace

RawCommand::RawCommand(Session& session)
    : m_session(session)
{
    m_window.setSingleShot(true);
    QObject::connect(&m_window, &QTimer::timeout, &m_session, [this] { print(); });
}

RawCommand::~RawCommand()
{
    QObject::disconnect(m_listening);
}

void RawCommand::start()
{
    if (m_session.prepare(false))
        m_session.connectLine(true, [this] { run(); });
}

void RawCommand::run()
{
    CommandPump& pump = m_session.controller().pump();
    m_session.takeErrors();
    m_listening = QObject::connect(
        &m_session, &Session::entryAppended, &m_session, [this](const LogEntry& entry) {
            if (entry.kind != LogEntry::Kind::rx)
                return;
            const qsizetype room = maxKeptBytes - m_received.size();
            m_received += entry.bytes.first(std::min(room, entry.bytes.size()));
            m_cut = m_cut || entry.bytes.size() > room;
        });
    const Invocation& invocation = m_session.invocation();
    // Hex bytes go out exactly as given; text gets the line ending, as in the terminal.
    if (invocation.hex)
        pump.sendRaw(invocation.rawData);
    else
        pump.sendCustom(QString::fromUtf8(invocation.rawData));
    if (const QStringList errors = m_session.takeErrors(); !errors.isEmpty()) {
        m_session.reportErrors(errors);
        m_session.finish(ExitCode::portFailed);
        return;
    }
    m_window.start(
        int(std::ceil(m_session.controller().line().settings().responseTimeout * 1000.0)));
}

void RawCommand::print()
{
    Console& console = m_session.console();
    if (m_received.isEmpty()) {
        const double timeout = m_session.controller().line().settings().responseTimeout;
        console.err(
            QCoreApplication::translate("RawCommand", "Nichts zurückgekommen innerhalb von %1 s.")
                .arg(QLocale().toString(timeout, 'g', QLocale::FloatingPointShortest)));
        m_session.finish(ExitCode::displayFailed);
        return;
    }
    if (m_cut)
        console.err(QCoreApplication::translate(
            "RawCommand", "Es kam mehr zurück; ausgegeben ist nur das erste MiB."));
    if (m_session.invocation().json)
        console.outJson(QJsonObject{{"received", hexText(m_received)},
                                    {"text", LogEntry::printable(m_received)}});
    else if (m_session.invocation().hex)
        console.out(hexText(m_received));
    else if (console.outIsTerminal())
        console.outBytes(visibleText(QString::fromUtf8(m_received)).toUtf8());
    else
        console.outBytes(m_received); // a pipe gets the bytes as they came
    m_session.finish(ExitCode::success);
}
