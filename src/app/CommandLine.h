#pragma once

#include <QString>
#include <QStringList>

namespace zorvane::app {

// What the command line asks for: run the program, or print a text and end with a status.
struct CommandLineOutcome
{
    bool run = true;
    int exitCode = 0;
    QString standardOutput;
    QString standardError;
    // The profile to run with (--profile NAME); empty for the default settings.
    QString profile;
};

// Reads the program's own options and lets Qt's own (-platform, -style, ...) through. Runs
// before any window system is touched, so --help works on a bare console.
CommandLineOutcome parseCommandLine(const QStringList &arguments, const QString &version);

} // namespace zorvane::app
