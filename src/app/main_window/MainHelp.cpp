// The Help menu of the main window: the About box and the updater.
#include "app/About.h"
#include "app/main_window/MainForm.h"

#include <QAction>
#include <QDir>
#include <QProcess>

namespace {

#ifdef Q_OS_WIN
const QString kUpdaterName = QStringLiteral("Updater.exe");
#else
const QString kUpdaterName = QStringLiteral("Updater");
#endif

} // namespace

void TMain::AboutClick()
{
    // The item's mark has already toggled: a choice that takes it off shows nothing.
    if (About->isChecked())
        About_Form->exec();
}

void TMain::CheckForUpdatesClick()
{
    // The updater is looked for in the folder current at start, not beside the executable.
    // Whether it started is not reported: a missing updater is no error of the terminal.
    QProcess::startDetached(QDir(app_folder).filePath(kUpdaterName), {});
}
