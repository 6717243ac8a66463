#include "settings/DocumentsFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace zorvane::settings {

QString documentsFolder()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("c:/Users/Public/Documents/Zorvane/");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("/Users/Shared/Zorvane/");
#else
    // Per user: a shared writable folder would let one user plant port links for another.
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/Zorvane/");
#endif
}

void ensureFolder(const QString &folder)
{
    QDir().mkpath(folder);
}

} // namespace zorvane::settings
