#include "settings/OtherInstances.h"

#include "settings/SettingsLock.h"
#include "settings/zv_settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>
#include <QSysInfo>

#include <optional>

#include <cerrno>
#include <csignal>

namespace zorvane::settings {

namespace {

bool processAlive(qint64 pid)
{
    // Signal 0 only asks whether the process exists; EPERM means it does, as another user's.
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// The place the file gives the window, as the window reads it: a missing leaf is the new-file
// value.
std::optional<QPoint> savedPlace(const QString &settingsPath)
{
    SettingsDocument document;
    document.FileName = settingsPath;
    auto root = OpenSettingsRoot(document);
    if (!root)
        return std::nullopt;
    auto window = root->Window();
    return QPoint(window.left(), window.top());
}

} // namespace

QList<QPoint> otherInstancePlaces(const QString &documentsFolder)
{
    QList<QPoint> places;
    const QString lockSuffix = SettingsLock::lockPath(QString());
    const QDir folder(documentsFolder);
    const QStringList locks = folder.entryList({QStringLiteral("zv_settings*.xml") + lockSuffix},
                                               QDir::Files | QDir::Hidden);
    for (const QString &lockName : locks) {
        QLockFile lock(folder.filePath(lockName));
        qint64 pid = 0;
        QString host;
        QString application;
        if (!lock.getLockInfo(&pid, &host, &application))
            continue;
        if (pid == QCoreApplication::applicationPid() || host != QSysInfo::machineHostName() ||
            !processAlive(pid))
            continue;
        const QString settingsPath = folder.filePath(lockName.chopped(lockSuffix.size()));
        if (const std::optional<QPoint> place = savedPlace(settingsPath))
            places << *place;
    }
    return places;
}

} // namespace zorvane::settings
