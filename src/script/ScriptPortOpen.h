#pragma once

#include "serial/LineSettings.h"
#include "serial/Link.h"

#include <QString>

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::script {

// Opens port n for a run without a window, closing the port in use first, and sets the output
// lines chosen for right after the open; an empty text when it opened, else why not, in the
// words the window's message uses.
QString openScriptPort(session::ModuleSession &session, int port,
                       const serial::LineSettings &settings, const serial::ModemLineChange &atOpen);

} // namespace zorvane::script
