#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace zorvane::terminal {

// What follows a text the user sends: the module's own convention (the iWRAP command line,
// a CR for Enter in the list), or exactly one of the usual line ends, or nothing.
enum class LineEnd { Module, CR, LF, CRLF, None };

// The names the choice is shown and saved under, in the order the box lists them.
QStringList lineEndNames();
QString lineEndName(LineEnd end);
// An unknown name gives nothing; the caller keeps its default.
std::optional<LineEnd> lineEndFromName(QStringView name);

// The bytes of the line end; "Module" ends a typed line with CR.
QByteArray lineEndBytes(LineEnd end);

} // namespace zorvane::terminal
