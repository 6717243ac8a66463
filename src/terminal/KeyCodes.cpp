#include "KeyCodes.h"

#include "WireText.h"

namespace zorvane::terminal {

namespace {

#ifdef Q_OS_MACOS
// The key marked Control on a Mac keyboard.
constexpr Qt::KeyboardModifier kControl = Qt::MetaModifier;
#else
constexpr Qt::KeyboardModifier kControl = Qt::ControlModifier;
#endif

constexpr Qt::KeyboardModifiers kChordModifiers =
    Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier;

} // namespace

QList<TerminalKey> terminalKeys(int qtKey, QStringView text, Qt::KeyboardModifiers modifiers)
{
    using Kind = TerminalKey::Kind;
    const Qt::KeyboardModifiers chord = modifiers & kChordModifiers;
    // Ctrl+Shift chords are the window's own commands (find, copy lines, ...).
    if ((chord & kControl) && (chord & Qt::ShiftModifier))
        return {};

    if (chord == kControl) {
        // Ctrl with @, A to Z, [, \, ], ^ or _ gives the control characters 0 to 31; other
        // Ctrl chords have no character to send.
        if (qtKey >= Qt::Key_At && qtKey <= Qt::Key_Underscore)
            return {{Kind::Byte, qtKey - 64}};
        return {};
    }
    // Alt chords belong to the menus.
    if (chord & (Qt::AltModifier | Qt::MetaModifier))
        return {};

    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return {{Kind::Byte, 13}};
    case Qt::Key_Backspace:
        return {{Kind::Byte, 8}};
    case Qt::Key_Escape:
        return {{Kind::Byte, 27}};
    case Qt::Key_Up:
        return {{Kind::HistoryUp, 38}};
    case Qt::Key_Down:
        return {{Kind::HistoryDown, 40}};
    default:
        break;
    }

    // Printable characters only: what some platforms report as the text of Delete or of a
    // function key is not something the user typed. A character beyond one byte goes out as
    // the '?' the list would show for it, once even when it takes two UTF-16 units.
    QList<TerminalKey> keys;
    for (const QChar ch : wireText(text)) {
        if (ch.unicode() < 32 || ch.unicode() == 127)
            return {};
        keys.append({Kind::Byte, ch.unicode()});
    }
    return keys;
}

} // namespace zorvane::terminal
