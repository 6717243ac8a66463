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

    // --run FILE: the script runs without any window (and the options below apply to it);
    // empty for the window.
    QString headlessScript;
    // --port N: the port the run opens instead of the profile's; 0 for the profile's.
    int port = 0;
    // --junit FILE: where the run's report goes.
    QString junit;
    // --echo: received lines are copied to standard output.
    bool echo = false;
    // --script FILE: the window runs FILE once its port is open.
    QString windowScript;
};

// Reads the program's own options and lets Qt's own (-platform, -style, ...) through. Runs
// before any window system is touched, so --help works on a bare console.
CommandLineOutcome parseCommandLine(const QStringList &arguments, const QString &version);

} // namespace zorvane::app
