#pragma once

#include "Link.h"

#include <optional>

namespace zorvane::serial {

// The modem lines of an open serial device on this machine, through its file descriptor.
// A device that cannot tell or drive its lines (a pseudo-terminal refuses TIOCMGET and
// TIOCMSET with ENOTTY) answers nothing or false, and no other request is made of it.
namespace modem_io {

std::optional<ModemOutputs> outputs(int fd);
std::optional<ModemInputs> inputs(int fd);
// The named lines change together in one TIOCMSET, the others keep their state.
bool setOutputs(int fd, const ModemLineChange &change);
bool setBreak(int fd, bool on);

} // namespace modem_io

} // namespace zorvane::serial
