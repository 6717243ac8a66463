#pragma once

#include "terminal/LineAssembly.h"
#include "terminal/LineEnd.h"

#include <QString>

namespace zorvane::session {

// The switches that decide what the session does with a byte or a text, read at the moment
// of use: a window answers from its check marks, a test or a tool fills them in.
struct SessionOptions
{
    terminal::ReceiveOptions receive;
    bool muxMode = false;   // "MUX mode": commands go out framed
    bool hexWrite = false;  // "HexMode Write"
    bool timeStamp = false; // log lines start with the time
    bool dateStamp = false; // ... and the date
    // "Line end": what follows a text the user sends; "Module" keeps the module's convention.
    terminal::LineEnd lineEnd = terminal::LineEnd::Module;
};

// Where the session asks for its switches and for the log file's path.
class OptionsSource
{
public:
    virtual ~OptionsSource() = default;
    virtual SessionOptions options() const = 0;
    virtual QString logFilePath() const = 0;
};

} // namespace zorvane::session
