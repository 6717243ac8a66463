#pragma once

#include <QString>

namespace zorvane::serial {

// What a port's path leads to, told from the file system without opening it: opening a named
// pipe can wait for a writer, and opening some devices has effects of its own.
enum class DeviceKind {
    Missing,
    LinkCircle,
    // A character device of the tty class, or one whose class this system does not tell.
    Terminal,
    OtherDevice,
    BlockDevice,
    RegularFile,
    Fifo,
    Folder,
    Socket,
};

DeviceKind deviceKind(const QString &path);

// A pseudo-terminal's name, whether it is there now or gone: the kernel hands a vanished one's
// number to the next program that asks for a terminal.
bool isPseudoTerminalName(const QString &path);

} // namespace zorvane::serial
