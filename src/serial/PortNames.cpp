#include "PortNames.h"

#include <QFileInfo>

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
        if (link.isSymLink())
            return link.symLinkTarget();
    }
    return defaultDevice(port);
}

} // namespace zorvane::serial
