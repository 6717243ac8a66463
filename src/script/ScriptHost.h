#pragma once

#include "terminal/CommandTables.h"

#include <QString>

namespace zorvane::script {

// What a script needs from where it runs, beyond the session it drives: the window and the
// headless run answer these differently (the window's controls, or the profile's settings).
class ScriptHost
{
public:
    virtual ~ScriptHost() = default;

    // What the placeholders of a module command stand for now ({address}, {label},
    // {channel}).
    virtual terminal::CommandContext commandContext() const = 0;
    // Opens port n (1 to 100) with the line settings it is used with; an empty text when it
    // opened, else why not, in the words the program uses for a failed open.
    virtual QString openPort(int port) = 0;
    virtual void closePort() = 0;
    // Reopens the port in use at another rate and parity (0 none, 2 even), as the Commands
    // menu's baud change does once the module has switched; empty text when done.
    virtual QString changeRate(int baudRate, int parity) = 0;
    // The reset sequence chosen for the port in use, as the user wrote it; empty for none.
    virtual QString resetSequence() const = 0;
};

} // namespace zorvane::script
