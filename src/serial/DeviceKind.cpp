#include "DeviceKind.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace zorvane::serial {

namespace {

// Unix98 pseudo-terminal slaves; they have no entry under /sys/dev/char.
bool isPtySlaveMajor(unsigned int major)
{
    return major >= 136 && major <= 143;
}

constexpr long kDevptsMagic = 0x1cd1;

DeviceKind characterDeviceKind(dev_t device)
{
    if (isPtySlaveMajor(::major(device)))
        return DeviceKind::Terminal;
    const QFileInfo subsystem(
        QStringLiteral("/sys/dev/char/%1:%2/subsystem").arg(::major(device)).arg(::minor(device)));
    const QString subsystemPath = subsystem.canonicalFilePath();
    // Without sysfs the open itself has to tell.
    if (subsystemPath.isEmpty())
        return DeviceKind::Terminal;
    return QFileInfo(subsystemPath).fileName() == QLatin1String("tty") ? DeviceKind::Terminal
                                                                       : DeviceKind::OtherDevice;
}

} // namespace

DeviceKind deviceKind(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return errno == ELOOP ? DeviceKind::LinkCircle : DeviceKind::Missing;
    if (S_ISCHR(st.st_mode))
        return characterDeviceKind(st.st_rdev);
    if (S_ISREG(st.st_mode))
        return DeviceKind::RegularFile;
    if (S_ISFIFO(st.st_mode))
        return DeviceKind::Fifo;
    if (S_ISDIR(st.st_mode))
        return DeviceKind::Folder;
    if (S_ISSOCK(st.st_mode))
        return DeviceKind::Socket;
    return DeviceKind::BlockDevice;
}

bool isPseudoTerminalName(const QString &path)
{
    // Follow the links by hand: the last one may lead to a name that is gone.
    QString name = path;
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo info(name);
        if (!info.isSymLink())
            break;
        name = info.symLinkTarget();
    }
    struct stat st
    {
    };
    const QByteArray encoded = QFile::encodeName(name);
    if (::stat(encoded.constData(), &st) == 0)
        return S_ISCHR(st.st_mode) && isPtySlaveMajor(::major(st.st_rdev));
    // A name that is gone still lies in the pseudo-terminals' own file system.
    struct statfs fs
    {
    };
    return ::statfs(QFile::encodeName(QFileInfo(name).absolutePath()).constData(), &fs) == 0 &&
           fs.f_type == kDevptsMagic;
}

} // namespace zorvane::serial
