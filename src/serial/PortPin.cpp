#include "PortPin.h"

#include "DeviceKind.h"
#include "PortNames.h"
#include "network/NetworkTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace zorvane::serial::port_pin {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// What a path leads to, in words, for a path that is no serial port.
QString kindText(DeviceKind kind)
{
    switch (kind) {
    case DeviceKind::RegularFile:
        return QStringLiteral("an ordinary file");
    case DeviceKind::Folder:
        return QStringLiteral("a folder");
    case DeviceKind::Fifo:
        return QStringLiteral("a named pipe");
    case DeviceKind::Socket:
        return QStringLiteral("a socket");
    case DeviceKind::BlockDevice:
        return QStringLiteral("a disk device");
    case DeviceKind::OtherDevice:
        return QStringLiteral("a device of another kind");
    case DeviceKind::LinkCircle:
        return QStringLiteral("a link that leads in a circle");
    case DeviceKind::Missing:
    case DeviceKind::Terminal:
        break;
    }
    return {};
}

// Whether following `path` link by link passes through `link`: pinned there, it would lead
// back to itself.
bool leadsThrough(const QString &path, const QString &link)
{
    const QString stop = QDir::cleanPath(QFileInfo(link).absoluteFilePath());
    QString at = path;
    for (int hop = 0; hop < 40; ++hop) {
        const QFileInfo step(at);
        if (QDir::cleanPath(step.absoluteFilePath()) == stop)
            return true;
        if (!step.isSymLink())
            return false;
        at = step.symLinkTarget();
    }
    return false;
}

} // namespace

int portNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*(?:COM)?\\s*([0-9]{1,9})\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto m = number.match(text);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

QString refusal(const QString &documentsFolder, int port, const QString &target)
{
    if (port < 1 || port > kPortCount)
        return QStringLiteral("Port numbers run from 1 to %1.").arg(kPortCount);
    if (target.trimmed().isEmpty())
        return QStringLiteral("Give a device path, or an rfc2217:// or socket:// address.");
    if (target != target.trimmed())
        return QStringLiteral("\"%1\" begins or ends with a space.").arg(target);

    if (target.contains(QStringLiteral("://"))) {
        if (!network::isNetworkTarget(target))
            return QStringLiteral("%1 is neither a device path nor an rfc2217:// or socket:// "
                                  "address.")
                .arg(target);
        QString why;
        if (!network::parseNetworkTarget(target, &why))
            return QStringLiteral("The address cannot be used: %1.").arg(why);
        return {};
    }

    if (!QDir::isAbsolutePath(target))
        return QStringLiteral("%1 is not a full path: a device path starts with /.").arg(target);
    // A pin that named itself, or a link that leads back to it, would lead nowhere.
    if (leadsThrough(target, overrideLinkPath(documentsFolder, port)))
        return QStringLiteral("%1 cannot lead to itself.").arg(portName(port));
    const DeviceKind kind = deviceKind(target);
    if (kind == DeviceKind::Missing)
        return QStringLiteral("%1 does not exist.").arg(target);
    if (kind != DeviceKind::Terminal)
        return QStringLiteral("%1 is %2, not a serial port.").arg(target, kindText(kind));
    return {};
}

bool pin(const QString &documentsFolder, int port, const QString &target, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (const QString why = refusal(documentsFolder, port, target); !why.isEmpty())
        return fail(why);
    const QString link = overrideLinkPath(documentsFolder, port);
    const QFileInfo place(link);
    if (place.exists() && !place.isSymLink())
        return fail(QStringLiteral("%1 is a file of its own, not a pin; Zorvane leaves it alone.")
                        .arg(link));
    if (!QDir().mkpath(place.absolutePath()))
        return fail(QStringLiteral("%1 could not be made.").arg(place.absolutePath()));
    // Made beside it and renamed over it: the old pin is replaced in one step, and a pin is
    // never half there. The target is written as given; an address is no path to clean.
    const QByteArray fresh = QFile::encodeName(place.absolutePath() + QStringLiteral("/.") +
                                               place.fileName() + QStringLiteral(".new"));
    ::unlink(fresh.constData());
    if (::symlink(QFile::encodeName(target).constData(), fresh.constData()) != 0)
        return fail(QStringLiteral("%1 could not be made: %2.").arg(link, systemError()));
    if (::rename(fresh.constData(), QFile::encodeName(link).constData()) != 0) {
        const QString why = systemError();
        ::unlink(fresh.constData());
        return fail(QStringLiteral("%1 could not be made: %2.").arg(link, why));
    }
    return true;
}

bool unpin(const QString &documentsFolder, int port, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (port < 1 || port > kPortCount)
        return fail(QStringLiteral("Port numbers run from 1 to %1.").arg(kPortCount));
    const QString link = overrideLinkPath(documentsFolder, port);
    const QFileInfo place(link);
    if (!place.isSymLink()) {
        if (place.exists())
            return fail(
                QStringLiteral("%1 is a file of its own, not a pin; Zorvane leaves it alone.")
                    .arg(link));
        return fail(QStringLiteral("%1 is not pinned.").arg(portName(port)));
    }
    if (::unlink(QFile::encodeName(link).constData()) != 0)
        return fail(QStringLiteral("%1 could not be removed: %2.").arg(link, systemError()));
    return true;
}

} // namespace zorvane::serial::port_pin
