#include "PortNames.h"

#include "LinkFactory.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace zorvane::serial {

QString portName(int port)
{
    return QStringLiteral("COM%1").arg(port);
}

QString defaultDevice(int port)
{
#if defined(Q_OS_WIN)
    if (port < 1 || port > kPortCount)
        return {};
    return port < 10 ? portName(port) : QStringLiteral("\\\\.\\COM%1").arg(port);
#else
    // Ten numbers per device family, so a number tells the kind of adapter at a glance.
    struct Group
    {
        int firstPort;
        const char *stem;
        int firstIndex;
    };
    static constexpr Group groups[] = {
        {1, "/dev/ttyUSB", 0},  {11, "/dev/ttyACM", 0},  {21, "/dev/ttyS", 0},
        {31, "/dev/rfcomm", 0}, {41, "/dev/ttyUSB", 10}, {51, "/dev/ttyACM", 10},
        {61, "/dev/ttyAMA", 0},
    };
    for (const Group &g : groups) {
        if (port >= g.firstPort && port < g.firstPort + 10)
            return QLatin1String(g.stem) + QString::number(g.firstIndex + port - g.firstPort);
    }
    return {};
#endif
}

namespace {

// The link's text exactly as written: a network address such as "rfc2217://lab-pi:4001" is
// no path, and cleaning it as one would fold its "//" and put the folder in front.
QString rawLinkTarget(const QString &link)
{
    char target[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, n)) : QString();
}

} // namespace

QString overrideLinkPath(const QString &documentsFolder, int port)
{
    return documentsFolder + QStringLiteral("ports/") + portName(port);
}

QString port_names(int port, const QString &documentsFolder)
{
    if (port < 1 || port > kPortCount)
        return {};
    if (!documentsFolder.isEmpty()) {
        const QFileInfo link(overrideLinkPath(documentsFolder, port));
        if (link.isSymLink()) {
            const QString raw = rawLinkTarget(link.filePath());
            return isAddressTarget(raw) ? raw : link.symLinkTarget();
        }
    }
    return defaultDevice(port);
}

} // namespace zorvane::serial
