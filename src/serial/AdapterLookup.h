#pragma once

#include <QHash>
#include <QString>

namespace zorvane::serial {

// What the kernel tells about the adapter behind a device node.
struct AdapterInfo
{
    // The node exists and, for an on-board UART, a chip answers behind it.
    bool present = false;
    QString product;
    QString manufacturer;
    QString serialNumber;
    // The device's stable name in /dev/serial/by-id, when udev made one.
    QString byIdName;

    // "FT232R USB UART (FTDI, A50285BI)"; the by-id name when the kernel names no product;
    // empty when nothing is known. Free of control characters, whatever the device reports.
    QString description() const;
};

// Names the adapters behind device nodes from sysfs and /dev/serial/by-id. The root folder is
// "/" on a running system; a test hands it a folder that holds a made-up tree.
class AdapterLookup
{
public:
    explicit AdapterLookup(const QString &root = QStringLiteral("/"));

    AdapterInfo lookUp(const QString &device) const;

private:
    QString m_root; // no trailing separator: "" for the real root
    // tty name (ttyUSB0) -> by-id name, read once, when the look-up is made.
    QHash<QString, QString> m_byId;
};

} // namespace zorvane::serial
