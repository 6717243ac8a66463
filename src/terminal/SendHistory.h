#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zorvane::terminal {

// The send box keeps a fixed number of history entries, index 0 the newest. A push moves
// every text one place older and drops the oldest; nothing adds or removes an entry.
QStringList pushedHistory(const QStringList &entries, const QStringList &texts);

// One character as Hex Write sends it: upper-case hexadecimal digits padded with spaces
// to two places, then a space (65 gives "41 ", CR gives " D ").
QString hexWritePiece(char16_t code);
// The pieces of every character of a text, one after the other, as the bytes that go out.
QByteArray hexWriteBytes(QStringView text);

} // namespace zorvane::terminal
