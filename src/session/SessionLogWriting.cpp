// The session log's part of the session: every finished line, stamped as the switches ask,
// reaches the file in one write per receive event.
#include "session/ModuleSession.h"

namespace zorvane::session {

QString ModuleSession::newLogFileName() const
{
    return terminal::SessionLog::fileName(sessionLog.now());
}

terminal::SessionLog::Failure ModuleSession::startLog(const QString &path)
{
    // Lines still on their way belong to the file they were logged for.
    flushLog();
    return sessionLog.start(path);
}

void ModuleSession::LogLine(QByteArray &line)
{
    const SessionOptions now = options();
    sessionLog.stamp(line, now.timeStamp, now.dateStamp);
    AppendToLog(line);
}

void ModuleSession::AppendToLog(const QByteArray &line)
{
    sessionLog.queue(line);
    if (!m_logBatching)
        flushLog();
}

void ModuleSession::logOpenLine()
{
    if (tickOptions().log)
        m_lineAssembly.logOpenLine(*this);
    flushLog();
}

void ModuleSession::flushLog()
{
    if (!sessionLog.hasQueued())
        return;
    const QString path = m_source ? m_source->logFilePath() : m_logPath;
    if (sessionLog.append(path))
        emit logWriteFailed();
}

} // namespace zorvane::session
