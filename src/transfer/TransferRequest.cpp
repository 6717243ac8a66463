// The send dialog's choices and the check that a file can be sent at all.
#include "transfer/TransferRequest.h"

#include <QFile>
#include <QFileInfo>

namespace zorvane::transfer {

QStringList methodNames()
{
    return {QStringLiteral("Text lines"), QStringLiteral("Raw"),    QStringLiteral("XMODEM"),
            QStringLiteral("XMODEM-1K"),  QStringLiteral("YMODEM"), QStringLiteral("ZMODEM")};
}

QString methodName(Method method)
{
    return methodNames().value(int(method));
}

bool isProtocol(Method method)
{
    return method != Method::TextLines && method != Method::Raw;
}

QString unreadableReason(const QString &path)
{
    if (path.trimmed().isEmpty())
        return QStringLiteral("No file chosen.");
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("%1 does not exist.").arg(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder, not a file.").arg(path);
    if (!info.isFile())
        return QStringLiteral("%1 is not a regular file.").arg(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
    return {};
}

} // namespace zorvane::transfer
