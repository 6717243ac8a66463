// The session log's part of the session: every finished line, stamped as the switches ask,
// reaches the file in one write per receive event.
#include "session/ModuleSession.h"

namespace zorvane::session {

QString ModuleSession::newLogFileName() const
{
    return terminal::SessionLog::fileName(m_sessionLog.now());
}

terminal::SessionLog::Failure ModuleSession::startLog(const QString &path)
{
    // Lines still on their way belong to the file they were logged for.
    flushLog();
    return m_sessionLog.start(path);
}

void ModuleSession::LogLine(QByteArray &line)
{
    const SessionOptions now = options();
    m_sessionLog.stamp(line, now.timeStamp, now.dateStamp);
    AppendToLog(line);
}

void ModuleSession::AppendToLog(const QByteArray &line)
{
    m_sessionLog.queue(line);
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
    if (!m_sessionLog.hasQueued())
        return;
    const QString path = m_source ? m_source->logFilePath() : m_logPath;
    if (m_sessionLog.append(path))
        emit logWriteFailed();
}

} // namespace zorvane::session
