#pragma once

#include <QByteArray>

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::script {

// The bytes that close a line a script sends with sendline: the line end chosen for the
// port. Ports have no such choice yet, so every port ends its lines with CR, as the send
// box does; this is the one place that learns the port's choice once there is one.
inline QByteArray sendlineEnd(const session::ModuleSession &)
{
    return QByteArrayLiteral("\r");
}

} // namespace zorvane::script
