// The File menu's "Log": starts a log file in the documents folder; the module session writes
// every finished line to it, with the stamps the stamp items ask for.
#include "app/main_window/MainForm.h"

#include "app/MessageBoxes.h"
#include "settings/Profile.h"

#include <QAction>
#include <QLabel>

void TMain::Log1Click()
{
    if (!Log1->isChecked()) {
        StatusBarPanel4->setText(QStringLiteral(" "));
        return;
    }
    // A profile's logs carry its name in front, so side-by-side instances keep theirs apart.
    const QString name = zorvane::settings::logFilePrefix(m_profile) + session.newLogFileName();
    const QString path = DocumentsFolder + name;
    if (const auto failure = session.startLog(path)) {
        // No file, no logging: the mark goes before the box, whose wait runs the receive loop.
        Log1->setChecked(false);
        zorvane::app::showMessage(this, QStringLiteral("Unable to create log file: ") + path +
                                            QStringLiteral(" (") + *failure + QLatin1Char(')'));
        return;
    }
    LogFileName = name;
}

QString TMain::logFilePath() const
{
    // Every log lies directly in the documents folder: a name restored with a folder of its
    // own (the new settings file's "test.csv" comes with one) keeps only its last part.
    const qsizetype cut = std::max(LogFileName.lastIndexOf(QLatin1Char('/')),
                                   LogFileName.lastIndexOf(QLatin1Char('\\')));
    return DocumentsFolder + LogFileName.mid(cut + 1);
}
