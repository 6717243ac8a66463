#pragma once

#include <QList>
#include <QStringView>
#include <Qt>

namespace zorvane::terminal {

// What a key press in the terminal sends: a byte, or one of the two history keys. Codes
// follow the numbering modules and terminal users know from Windows: characters are their
// own codes, Enter 13, Backspace 8, Escape 27, Up 38, Down 40, Ctrl+A to Ctrl+Z 1 to 26.
struct TerminalKey
{
    enum class Kind { Byte, HistoryUp, HistoryDown };
    Kind kind = Kind::Byte;
    int code = 0;

    bool operator==(const TerminalKey &) const = default;
};

// The codes a key press gives, usually one; none for keys that produce no character
// (modifiers alone, Left, Right, Home, End, function keys), which keep their usual
// meaning in the list instead of sending a byte.
QList<TerminalKey> terminalKeys(int qtKey, QStringView text, Qt::KeyboardModifiers modifiers);

} // namespace zorvane::terminal
