#include "PseudoTerminal.h"

#include <pty.h>
#include <termios.h>

namespace zorvane::os {

PseudoTerminal openRawPseudoTerminal()
{
    PseudoTerminal pty;
    char name[256] = {};
    termios raw{};
    ::cfmakeraw(&raw);
    if (::openpty(&pty.master, &pty.slave, name, &raw, nullptr) != 0)
        return {};
    pty.slavePath = QString::fromLocal8Bit(name);
    return pty;
}

} // namespace zorvane::os
