#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zorvane::terminal {

// How a module command goes out.
enum class CommandSend {
    // One command line through the transmit path: framed in the multiplexing mode, and
    // pushed onto the send history.
    Command,
    // A plain line with its CR: never framed, never in the history.
    Line,
    // GainSpan: every text as a plain line led by a CR of its own.
    GainSpan,
    // The iWRAP "+++" escape inside its guard times, refused in the multiplexing mode.
    Escape,
    // A command line; afterwards the PIO icon buttons also send their BGIO packets.
    CallBgio,
    // The BGIO direction packet with `value` in its pin bytes, described in hexadecimal.
    BgioDirection,
    // The BGIO set-PIO packet with `value`.
    BgioPins,
    // The BGIO set-PIO packet with the value last sent plus `value`.
    BgioNextPins,
    // The module is told its new rate, then the port follows: `value` is the rate and
    // `parity` the parity (0 none, 2 even).
    BaudChange,
    // The text once for each number 0 to `value`, with {n} replaced by the number.
    Numbered,
};

// One module command: the control's name and caption, how it is sent and its text(s).
// Texts may hold {address} (the selected device address), {label} (the address captured
// last), {channel} (the selected link number), {user} and {password} (the GainSpan web
// login) and {esc} (the byte 27).
struct ModuleCommand
{
    QString name;
    QString caption;
    CommandSend send = CommandSend::Command;
    QStringList texts;
    int value = 0;
    int parity = 0;
};

// One PIO icon button of the main toolbar: its iWRAP command, then, once a BGIO connection
// has been called, the direction packet or the set-PIO packet with `pins`.
struct PioButton
{
    QString name;
    // The picture, a resource path, and what the button does, for its tooltip and
    // accessible name since it shows no caption.
    QString icon;
    QString description;
    QString command;
    bool setsDirection = false;
    int pins = 0;
};

const QList<ModuleCommand> &commandsMenu();
const QList<ModuleCommand> &sppToolbar();
const QList<ModuleCommand> &bgioToolbar();
const QList<ModuleCommand> &hidToolbar();
// The GainSpan toolbar's rows, top to bottom.
const QList<QList<ModuleCommand>> &gainSpanRows();
const QList<PioButton> &pioButtons();
// The command of the Commands menu or a command toolbar with this caption or control name.
std::optional<ModuleCommand> findCommand(const QString &name);
// The iWRAP command list, one line each, comments after "//".
const QStringList &iwrapCommandList();

// The GainSpan module's web login, sent by its provisioning and web server commands.
inline constexpr char kGainSpanWebUser[] = "z";
inline constexpr char kGainSpanWebPassword[] = "v";

// What the placeholders of a command text stand for at the moment of sending.
struct CommandContext
{
    QString address;
    QString label;
    QString channel;
};

// The text with its placeholders filled in; values put in are not scanned again.
QString expandCommand(QStringView text, const CommandContext &context);

// The command a line of the iWRAP command list sends: the line up to its first "//",
// without leading and trailing spaces and control characters.
QString listLineCommand(QStringView line);

} // namespace zorvane::terminal
