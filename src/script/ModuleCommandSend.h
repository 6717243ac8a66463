#pragma once

#include "terminal/CommandTables.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace zorvane::session {
class ModuleSession;
}

namespace zorvane::script {

// A module command a script names: a command of the tables, one of the main toolbar's
// S, R, I and L buttons, or a PIO icon button.
struct NamedCommand
{
    terminal::ModuleCommand command;
    // A PIO button: its iWRAP command, then its BGIO packet once a BGIO connection was called.
    std::optional<terminal::PioButton> pio;
    // The main toolbar's buttons aim their command at the module itself in the multiplexing
    // mode.
    bool toModule = false;
};

// Finds a command by its control's name ("BCall") or its caption ("Call SPP"), the name
// first; none when nothing is called that.
std::optional<NamedCommand> findModuleCommand(QStringView name);

// What the BGIO commands remember between two of them.
struct BgioMemory
{
    int pioValue = 0;
    bool called = false;
};

// Sends a command whose bytes go out at once, by the same rules as its control: a plain or
// framed command line, a plain line, GainSpan lines, numbered lines, BGIO packets. The
// escape and the baud change wait between their parts, so their caller sends them.
void sendModuleCommand(session::ModuleSession &session, const NamedCommand &named,
                       const terminal::CommandContext &context, BgioMemory &bgio);

} // namespace zorvane::script
