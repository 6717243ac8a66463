#include "OpenFailure.h"

#include "DeviceKind.h"
#include "PortClaim.h"
#include "PortNames.h"
#include "network/NetworkTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvane::serial {

namespace {

QString processName(const QString &pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.read(64)).trimmed();
}

// Services known to grab fresh USB serial devices, whichever user runs them.
bool isRunning(const QString &name)
{
    const auto pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (pid.front().isDigit() && processName(pid).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString modemManagerFix()
{
    return QStringLiteral(
        "ModemManager tries every new USB serial device as a modem. Stop it with\n"
        "    sudo systemctl stop ModemManager\n"
        "or make it leave this adapter alone with Zorvane's udev rule\n"
        "70-zorvane-modemmanager-ignore.rules (in /usr/share/doc/zorvane/examples).");
}

QString brlttyFix()
{
    return QStringLiteral("brltty takes some USB serial adapters for braille displays. Unless "
                          "you use a braille display, remove it with\n"
                          "    sudo apt remove brltty");
}

QString fixFor(const DeviceHolder &holder)
{
    if (holder.name.compare(QLatin1String("ModemManager"), Qt::CaseInsensitive) == 0)
        return modemManagerFix();
    if (holder.name.compare(QLatin1String("brltty"), Qt::CaseInsensitive) == 0)
        return brlttyFix();
    return QStringLiteral("Close it there, or end it with\n    kill %1").arg(holder.pid);
}

QString busyText(const OpenFailure &failure)
{
    const QList<DeviceHolder> holders = deviceHolders(failure.device);
    QString text = QStringLiteral("%1 (%2) is in use").arg(portName(failure.port), failure.device);
    if (!holders.isEmpty()) {
        QStringList names;
        for (const DeviceHolder &h : holders)
            names << (h.name.isEmpty() ? QStringLiteral("process %1").arg(h.pid)
                                       : QStringLiteral("%1 (process %2)").arg(h.name).arg(h.pid));
        return text + QStringLiteral(" by ") + names.join(QStringLiteral(", ")) +
               QStringLiteral(".\n") + fixFor(holders.front());
    }
    text += QStringLiteral(" by another program.");
    // Services run as root, so an ordinary user cannot see which file they hold.
    if (isRunning(QStringLiteral("ModemManager")))
        text +=
            QStringLiteral("\nModemManager is running and may be the one. ") + modemManagerFix();
    if (isRunning(QStringLiteral("brltty")))
        text += QStringLiteral("\nbrltty is running and may be the one. ") + brlttyFix();
    return text;
}

// Another Zorvane holds the device: it says which, so the user knows which window to go to.
QString zorvaneBusyText(const OpenFailure &failure, const ZorvaneHolder &holder)
{
    return QStringLiteral("%1 (%2) is %3 (process %4).\nChoose another port or close the "
                          "window there.")
        .arg(portName(failure.port), failure.device, inUseByZorvaneText(holder))
        .arg(holder.pid);
}

bool sessionHasGroup(gid_t group)
{
    if (getegid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    QList<gid_t> groups(count > 0 ? count : 0);
    if (count > 0 && ::getgroups(count, groups.data()) == count)
        return groups.contains(group);
    return false;
}

// The account is a member, though this login session started before it joined.
bool accountHasGroup(const group &g)
{
    const passwd *me = ::getpwuid(::getuid());
    if (!me)
        return false;
    if (me->pw_gid == g.gr_gid)
        return true;
    for (char **member = g.gr_mem; member && *member; ++member) {
        if (qstrcmp(*member, me->pw_name) == 0)
            return true;
    }
    return false;
}

QString ownerName(uid_t uid)
{
    const passwd *owner = ::getpwuid(uid);
    return owner ? QString::fromLocal8Bit(owner->pw_name) : QString::number(uid);
}

QString permissionText(const OpenFailure &failure)
{
    const QString head = QStringLiteral("Permission denied: this user may not read and write %1.")
                             .arg(failure.device);
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(failure.device).constData(), &st) != 0)
        return head;
    const group *g = ::getgrgid(st.st_gid);
    const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!g || st.st_gid == 0 || !groupMayUse)
        return head + QStringLiteral(" It belongs to %1 and is open to no group: ask the "
                                     "administrator for access.")
                          .arg(ownerName(st.st_uid));
    const QString name = QString::fromLocal8Bit(g->gr_name);
    if (accountHasGroup(*g) && !sessionHasGroup(st.st_gid))
        return head + QStringLiteral(" You are in the group %1, but this session started "
                                     "before you joined it: log out and back in.")
                          .arg(name);
    return head + QStringLiteral(" It is open to the group %1. Join the group, then log out and "
                                 "back in:\n    sudo usermod -aG %1 $USER")
                      .arg(name);
}

QString numbersWithDevice(const QStringList &portsWithDevice)
{
    if (portsWithDevice.isEmpty())
        return QStringLiteral("\nNo port number has a device now.");
    return QStringLiteral("\nNumbers with a device now: ") +
           portsWithDevice.join(QStringLiteral(", ")) + QLatin1Char('.');
}

// A path that leads to something other than a serial port, said plainly; empty otherwise.
QString notSerialPortText(const OpenFailure &failure)
{
    const QString port = portName(failure.port);
    QString what;
    switch (deviceKind(failure.device)) {
    case DeviceKind::Missing:
        return {};
    case DeviceKind::LinkCircle:
        return QStringLiteral("The link %1 leads in a circle (through %2) and never reaches a "
                              "device.")
            .arg(port, failure.device);
    case DeviceKind::Terminal:
        // Without sysfs only the open tells a terminal from another device.
        if (failure.error != QSerialPort::UnsupportedOperationError ||
            failure.errorText != qt_error_string(ENOTTY))
            return {};
        break;
    case DeviceKind::OtherDevice:
        break;
    case DeviceKind::BlockDevice:
        what = QStringLiteral("a disk device");
        break;
    case DeviceKind::RegularFile:
        what = QStringLiteral("an ordinary file");
        break;
    case DeviceKind::Fifo:
        what = QStringLiteral("a named pipe");
        break;
    case DeviceKind::Folder:
        what = QStringLiteral("a folder");
        break;
    case DeviceKind::Socket:
        what = QStringLiteral("a socket");
        break;
    }
    const QString text =
        QStringLiteral("%1 leads to %2, which is not a serial port").arg(port, failure.device);
    return what.isEmpty() ? text + QLatin1Char('.')
                          : text + QStringLiteral(": it is ") + what + QLatin1Char('.');
}

} // namespace

QList<DeviceHolder> deviceHolders(const QString &device)
{
    QList<DeviceHolder> holders;
    const QString wanted = QFileInfo(device).canonicalFilePath();
    if (wanted.isEmpty())
        return holders;
    // This process has let go of the device when it asks who holds it.
    const QString self = QString::number(::getpid());
    const auto pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (!pid.front().isDigit() || pid == self)
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        const auto entries =
            fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &fd : entries) {
            if (fd.symLinkTarget() == wanted) {
                holders.append({pid.toLongLong(), processName(pid)});
                break;
            }
        }
    }
    return holders;
}

QString explainOpenFailure(const OpenFailure &failure, const QStringList &portsWithDevice)
{
    // A network port's reason is the link's own: the host, the server or the settings.
    if (network::isNetworkTarget(failure.device))
        return QStringLiteral("%1 leads to %2: %3.")
            .arg(portName(failure.port), failure.device, failure.errorText);
    if (failure.device.isEmpty())
        return QStringLiteral("No device belongs to %1. To use it, make a link named %1 to the "
                              "device in the ports folder of Zorvane's documents folder.")
            .arg(portName(failure.port));
    if (failure.settingsRefused) {
        const LineSettings &s = failure.settings;
        QString text = QStringLiteral("%1 opened, but refused the line settings %2 %3%4%5")
                           .arg(failure.device)
                           .arg(s.baudRate)
                           .arg(s.dataBits)
                           .arg(parityLetter(s.parity))
                           .arg(s.stopBits);
        if (s.flowControl != FlowControl::None)
            text += QStringLiteral(" with %1 flow control").arg(flowControlName(s.flowControl));
        // The driver's own words, when it gave any.
        if (!failure.errorText.isEmpty())
            text += QStringLiteral(": ") + failure.errorText;
        return text + QLatin1Char('.');
    }
    if (const QString notSerial = notSerialPortText(failure); !notSerial.isEmpty())
        return notSerial;
    const QByteArray path = QFile::encodeName(failure.device);
    if (!QFileInfo::exists(failure.device))
        return QStringLiteral("Nothing is plugged in at %1: %2 does not exist.")
                   .arg(portName(failure.port), failure.device) +
               numbersWithDevice(portsWithDevice);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return permissionText(failure);
    if (failure.error != QSerialPort::NoError) {
        if (const auto holder = zorvaneHolder(QFileInfo(failure.device).canonicalFilePath()))
            return zorvaneBusyText(failure, *holder);
    }
    switch (failure.error) {
    case QSerialPort::PermissionError:
        // The node is open to this user, so another program holds it or its lock file.
        return busyText(failure);
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("Nothing answers at %1: %2 exists, but no device is behind it.")
                   .arg(portName(failure.port), failure.device) +
               numbersWithDevice(portsWithDevice);
    default:
        return QStringLiteral("%1 could not be opened: %2.").arg(failure.device, failure.errorText);
    }
}

} // namespace zorvane::serial
