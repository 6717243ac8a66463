#pragma once

#include "LineSettings.h"

#include <QSerialPort>
#include <QString>
#include <QStringList>

namespace zorvane::serial {

// How an open went wrong, as the serial unit saw it.
struct OpenFailure
{
    int port = 0;
    // The device the number led to; empty when the number names none.
    QString device;
    // The device opened, but would not take these line settings.
    bool settingsRefused = false;
    LineSettings settings;
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    // The system's own words for the error.
    QString errorText;
    // The device is another machine's port: the link's words say all there is (the host,
    // the server or the settings).
    bool remote = false;
};

// One process that has a device open.
struct DeviceHolder
{
    qint64 pid = 0;
    QString name;
};

// Processes holding the device open, found through /proc/*/fd. Only processes this user may
// look into show up: a service running as root stays hidden from an ordinary user.
QList<DeviceHolder> deviceHolders(const QString &device);

// What went wrong and what fixes it, in words a user can act on. portsWithDevice names the
// numbers that have a device now, offered when the chosen one has none.
QString explainOpenFailure(const OpenFailure &failure, const QStringList &portsWithDevice);

} // namespace zorvane::serial
