#include "PresentDevices.h"

#include "DeviceKind.h"
#include "network/NetworkTarget.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace zorvane::serial {

QList<PresentDevice> presentDevices(const QString &root)
{
    const QString canonical = QFileInfo(root).canonicalFilePath();
    const QString base = canonical == QStringLiteral("/") ? QString() : canonical;
    const AdapterLookup adapters(root);
    QList<PresentDevice> devices;
    // Virtual consoles and pseudo-terminals have no "device" below their class entry; every
    // tty a driver made for hardware has one.
    const QDir ttys(base + QStringLiteral("/sys/class/tty"));
    for (const QString &name :
         ttys.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (!QFileInfo::exists(ttys.filePath(name) + QStringLiteral("/device")))
            continue;
        const QString path = QStringLiteral("/dev/") + name;
        const AdapterInfo adapter = adapters.lookUp(path);
        if (adapter.present)
            devices.append({path, adapter});
    }
    // ttyUSB2 before ttyUSB10: by the name's stem, then by its number.
    auto key = [](const QString &path) {
        qsizetype digits = path.size();
        while (digits > 0 && path.at(digits - 1).isDigit())
            --digits;
        return std::pair(path.left(digits), path.mid(digits).toLongLong());
    };
    std::sort(devices.begin(), devices.end(),
              [&key](const auto &a, const auto &b) { return key(a.path) < key(b.path); });
    return devices;
}

bool devicePresent(const QString &device, const AdapterLookup &adapters)
{
    if (device.isEmpty())
        return false;
    if (network::isNetworkTarget(device))
        return true;
    return deviceKind(device) == DeviceKind::Terminal && adapters.lookUp(device).present;
}

} // namespace zorvane::serial
