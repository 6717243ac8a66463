// The session log of the main window: the File menu's "Log" starts a file, the receive loop
// hands it every finished line, and the stamp items put the time and date in front.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "settings/Profile.h"

#include <QAction>
#include <QLabel>

using zorvane::terminal::SessionLog;

void TMain::Log1Click()
{
    if (!Log1->isChecked()) {
        StatusBarPanel4->setText(QStringLiteral(" "));
        return;
    }
    // Lines still on their way belong to the file they were logged for.
    flushLog();
    // A profile's logs carry its name in front, so side-by-side instances keep theirs apart.
    const QString name =
        zorvane::settings::logFilePrefix(m_profile) + SessionLog::fileName(sessionLog.now());
    const QString path = DocumentsFolder + name;
    if (const SessionLog::Failure failure = sessionLog.start(path)) {
        // No file, no logging: the mark goes before the box, whose wait runs the receive loop.
        Log1->setChecked(false);
        zorvane::app::showMessage(this, QStringLiteral("Unable to create log file: ") + path +
                                            QStringLiteral(" (") + *failure + QLatin1Char(')'));
        return;
    }
    LogFileName = name;
}

void TMain::LogLine(QByteArray &line)
{
    sessionLog.stamp(line, TimeStamp1->isChecked(), DateStamp1->isChecked());
    AppendToLog(line);
}

void TMain::AppendToLog(const QByteArray &line)
{
    sessionLog.queue(line);
    if (!m_logBatching)
        flushLog();
}

void TMain::flushLog()
{
    if (!sessionLog.hasQueued())
        return;
    const SessionLog::Failure failure = sessionLog.append(logFilePath());
    // One box at a time: lines that fail while it is open are lost without a box of their own.
    if (!failure || m_logMessageOpen)
        return;
    m_logMessageOpen = true;
    // Opened once the receive event is over: a timer does not fire again while its own
    // event waits, so a box opened inside it would halt the receive loop until it closed.
    QMetaObject::invokeMethod(
        this,
        [this] {
            zorvane::app::showMessage(this, QStringLiteral("???"));
            m_logMessageOpen = false;
        },
        Qt::QueuedConnection);
}

QString TMain::logFilePath() const
{
    // Every log lies directly in the documents folder: a name restored with a folder of its
    // own (the new settings file's "test.csv" comes with one) keeps only its last part.
    const qsizetype cut = std::max(LogFileName.lastIndexOf(QLatin1Char('/')),
                                   LogFileName.lastIndexOf(QLatin1Char('\\')));
    return DocumentsFolder + LogFileName.mid(cut + 1);
}
