#include "AdapterLookup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zorvane::serial {

namespace {

// sysfs attributes are one short line; a USB descriptor string is at most 126 characters.
QString readAttribute(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(512)).trimmed();
}

// Strings come from the device itself, so nothing in them may break a menu line.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text.simplified();
}

} // namespace

QString AdapterInfo::description() const
{
    const QString name = printable(product);
    if (name.isEmpty())
        return printable(byIdName);
    QStringList extra;
    if (const QString maker = printable(manufacturer); !maker.isEmpty())
        extra << maker;
    if (const QString serial = printable(serialNumber); !serial.isEmpty())
        extra << serial;
    return extra.isEmpty()
               ? name
               : name + QStringLiteral(" (") + extra.join(QStringLiteral(", ")) + QLatin1Char(')');
}

AdapterLookup::AdapterLookup(const QString &root)
{
    // Canonical, so the resolved sysfs links below still start with it.
    const QString canonical = QFileInfo(root).canonicalFilePath();
    m_root = canonical == QStringLiteral("/") ? QString() : canonical;

    const QDir byId(m_root + QStringLiteral("/dev/serial/by-id"));
    const auto links = byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            m_byId.insert(QFileInfo(target).fileName(), link.fileName());
    }
}

AdapterInfo AdapterLookup::lookUp(const QString &device) const
{
    AdapterInfo info;
    if (device.isEmpty())
        return info;
    const QFileInfo node(m_root + device);
    if (!node.exists())
        return info;
    const QString tty = QFileInfo(node.canonicalFilePath()).fileName();
    const QString classDir = m_root + QStringLiteral("/sys/class/tty/") + tty;
    // The 8250 driver registers ttyS0 to ttyS3 whether or not a chip is there; "type" 0 is
    // its word for no UART behind the node.
    info.present = readAttribute(classDir + QStringLiteral("/type")) != QStringLiteral("0");
    info.byIdName = m_byId.value(tty);

    // A CDC ACM tty hangs off the USB interface, a usb-serial tty off a port below the
    // interface: the USB device that carries the names is one or two levels up.
    const QString sysRoot = m_root + QStringLiteral("/sys/");
    QString dir = QFileInfo(classDir + QStringLiteral("/device")).canonicalFilePath();
    for (int level = 0; level < 4 && dir.startsWith(sysRoot); ++level) {
        if (QFileInfo::exists(dir + QStringLiteral("/idVendor"))) {
            info.product = readAttribute(dir + QStringLiteral("/product"));
            info.manufacturer = readAttribute(dir + QStringLiteral("/manufacturer"));
            info.serialNumber = readAttribute(dir + QStringLiteral("/serial"));
            break;
        }
        dir = QFileInfo(dir).path();
    }
    return info;
}

} // namespace zorvane::serial
