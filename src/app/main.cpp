#include "app/CommandLine.h"
#include "app/SignalClose.h"
#include "app/main_window/MainForm.h"

#include <QApplication>

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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane"));
    TMain mainWindow;
    mainWindow.useProfile(outcome.profile);
    const zorvane::app::SignalClose closeOnSignal(&mainWindow);
    mainWindow.show();
    return QApplication::exec();
}
