#include "app/CommandLine.h"
#include "app/SignalClose.h"
#include "app/main_window/MainForm.h"
#include "script/HeadlessRun.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto outcome = zorvane::app::parseCommandLine(arguments, QStringLiteral(ZORVANE_VERSION));
    if (!outcome.run) {
        std::fputs(qPrintable(outcome.standardOutput), stdout);
        std::fputs(qPrintable(outcome.standardError), stderr);
        return outcome.exitCode;
    }

    // A run without a window needs no display: it is decided before any window system is
    // touched.
    if (!outcome.headlessScript.isEmpty()) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Zorvane"));
        return zorvane::script::runHeadless(
            {outcome.headlessScript, outcome.port, outcome.profile, outcome.junit, outcome.echo});
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane"));
    TMain mainWindow;
    mainWindow.useProfile(outcome.profile);
    if (!outcome.windowScript.isEmpty())
        mainWindow.runScriptWhenOpen(outcome.windowScript);
    const zorvane::app::SignalClose closeOnSignal(&mainWindow);
    mainWindow.show();
    return QApplication::exec();
}
