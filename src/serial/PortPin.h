#pragma once

#include <QString>

namespace zorvane::serial {

// Pins a port number to a device or a network address of the user's choice: the symbolic
// link ports/COMn in the documents folder, made, replaced or removed here. Anything that
// would not lead to a serial port is refused with the reason, and nothing is written then.
namespace port_pin {

// "12" or "COM12" (any case, spaces around allowed) as a port number; 0 when the text is no
// number at all. The number is not checked against the range here.
int portNumber(const QString &text);

// Why port `port` cannot be pinned to `target`; empty when it can.
QString refusal(const QString &documentsFolder, int port, const QString &target);

// Makes ports/COMn lead to `target`, replacing an earlier pin in one step. False, with the
// reason in `error`, when the pin is refused or cannot be written.
bool pin(const QString &documentsFolder, int port, const QString &target, QString *error);

// Removes the pin of port n. A file at its place that is not a link is the user's, and
// stays. False, with the reason in `error`, when nothing was removed.
bool unpin(const QString &documentsFolder, int port, QString *error);

} // namespace port_pin

} // namespace zorvane::serial
