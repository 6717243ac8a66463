#pragma once

#include <QString>

namespace zorvane::serial {

// Port numbers 1 to 100 are the product's vocabulary; these map them to devices.
constexpr int kPortCount = 100;

// "COM" followed by the number, the name menus, status texts and the settings file use.
QString portName(int port);

// The platform's own device for a port number, or an empty text when the number names none.
QString defaultDevice(int port);

// Where a user pins port n to a device of their choice: <documents>/ports/COMn.
QString overrideLinkPath(const QString &documentsFolder, int port);

// The device port n opens now: the override link's target when the link exists (a network
// address such as "rfc2217://lab-pi:4001" as written), else the platform's device. Read at every call, so a link made while the program runs counts.
QString port_names(int port, const QString &documentsFolder);

} // namespace zorvane::serial
