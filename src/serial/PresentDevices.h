#pragma once

#include "AdapterLookup.h"

#include <QList>
#include <QString>

namespace zorvane::serial {

// A serial device the system has now, with what the kernel says of its adapter.
struct PresentDevice
{
    QString path; // "/dev/ttyUSB0"
    AdapterInfo adapter;
};

// The serial devices the kernel lists (every tty with hardware behind it in sysfs), in
// natural order, found without opening any: an open drives DTR, which resets many boards.
// An on-board UART the kernel registers without a chip behind it is left out. The root folder
// is "/" on a running system; a test hands it a folder that holds a made-up tree.
QList<PresentDevice> presentDevices(const QString &root = QStringLiteral("/"));

// Whether a port's device is there now, told without opening it: a terminal device, or a
// network address, which only a connection could check.
bool devicePresent(const QString &device, const AdapterLookup &adapters);

} // namespace zorvane::serial
