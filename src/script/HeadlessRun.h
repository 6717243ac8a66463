#pragma once

#include <QString>

namespace zorvane::script {

// What a run without a window was asked for on the command line.
struct HeadlessOptions
{
    QString script;
    // 0: the port the profile's settings name.
    int port = 0;
    QString profile;
    // Where the JUnit report goes; none when empty.
    QString junit;
    // Received lines copied to standard output.
    bool echo = false;
};

// The exit statuses of a run, besides the script's own exit(n).
inline constexpr int kExitPassed = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoPort = 3;

// Runs a script against the port with no window at all, on the core application that must
// already exist, and returns the process's exit status: 0 passed, 1 failed (the reason on
// standard error), 2 the script cannot be read, 3 the port cannot be opened, 128 plus the
// signal's number when SIGINT or SIGTERM ended it. The port is released however it ends.
int runHeadless(const HeadlessOptions &options);

} // namespace zorvane::script
