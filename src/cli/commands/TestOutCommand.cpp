#include "cli/commands/TestOutCommand.h"

#include "cli/commands/Session.h"
#include "controller/DisplayController.h"
#include "controller/LineTester.h"

namespace {

// One packet unless asked for more; one second apart, as the settings window starts.
constexpr qint64 defaultCount = 1;
constexpr double defaultInterval = 1.0;

} // namespace

TestOutCommand::TestOutCommand(Session& session)
    : m_session(session)
    , m_count(session.invocation().count.value_or(defaultCount))
{
    m_session.setTerminationHandler([this] { end(false); });
}

TestOutCommand::~TestOutCommand()
{
    QObject::disconnect(m_listening);
}

void TestOutCommand::start()
{
    // Raw from the start: the far end is a terminal program, not a display, and must
    // see nothing but the test output.
    if (m_session.prepare(false))
        m_session.connectLine(true, [this] { run(); });
}

void TestOutCommand::run()
{
    LineTester& tester = m_session.controller().tester();
    const Invocation& invocation = m_session.invocation();
    LineTester::TestOutput output = tester.testOutput();
    output.pattern = invocation.pattern.value_or(TestPattern::counterLine);
    output.interval = invocation.interval.value_or(defaultInterval);
    tester.setTestOutput(output);
    m_target = tester.testSentCount() + m_count;
    m_listening = QObject::connect(&m_session, &Session::entryAppended, &m_session,
                                   [this](const LogEntry& entry) {
                                       if (entry.kind == LogEntry::Kind::tx)
                                           m_session.console().out(entry.text);
                                   });
    QObject::connect(&tester, &LineTester::testProgressChanged, &m_session, [this] {
        onSentCountChanged();
        onRunningChanged();
    });
    m_session.takeErrors();
    tester.startTest();
}

void TestOutCommand::onSentCountChanged()
{
    if (m_session.controller().tester().testSentCount() >= m_target)
        QMetaObject::invokeMethod(
            &m_session, [this] { end(false); }, Qt::QueuedConnection);
}

void TestOutCommand::onRunningChanged()
{
    // Stopped by the controller itself: a write failed.
    if (!m_session.controller().tester().testRunning() && !m_ending)
        QMetaObject::invokeMethod(
            &m_session, [this] { end(true); }, Qt::QueuedConnection);
}

void TestOutCommand::end(bool stoppedByItself)
{
    if (m_ending || m_session.isFinishing())
        return;
    m_ending = true;
    m_session.controller().tester().stopTest();
    const QStringList errors = m_session.takeErrors();
    if (stoppedByItself || !errors.isEmpty()) {
        m_session.reportErrors(errors);
        m_session.finish(ExitCode::portFailed);
        return;
    }
    m_session.finish(ExitCode::success);
}
