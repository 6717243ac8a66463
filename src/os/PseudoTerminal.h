#pragma once

#include <QString>

namespace zorvane::os {

// A pseudo-terminal pair in raw mode from the start, so nothing is echoed back before the
// other end sets the line up. The caller owns both descriptors.
struct PseudoTerminal
{
    int master = -1;
    int slave = -1;
    QString slavePath;
    bool isValid() const { return master >= 0; }
};

// Opens a pair; an invalid one when the system has none to give.
PseudoTerminal openRawPseudoTerminal();

} // namespace zorvane::os
