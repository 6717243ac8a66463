#include "settings/SettingsLock.h"

#include <QFile>
#include <QFileInfo>

namespace zorvane::settings {

SettingsLock::SettingsLock(const QString &settingsPath)
    : m_path(lockPath(settingsPath)), m_lock(m_path)
{
    // Only a dead holder makes a lock stale: an instance may run for weeks.
    m_lock.setStaleLockTime(0);
}

QString SettingsLock::lockPath(const QString &settingsPath)
{
    return settingsPath + QStringLiteral(".lock");
}

SettingsLock::State SettingsLock::acquire()
{
    m_problem.clear();
    if (!clearWay())
        return m_state = State::Unavailable;
    if (m_lock.tryLock(0))
        m_state = State::Owned;
    else if (m_lock.error() == QLockFile::LockFailedError)
        m_state = State::HeldElsewhere;
    else
        m_state = State::Unavailable;
    return m_state;
}

bool SettingsLock::clearWay()
{
    // The lock reads an existing file to learn its holder, so whatever stands at its path is
    // looked at without being opened or followed first.
    const QFileInfo info(m_path);
    if (!info.isSymLink() && (!info.exists() || info.isFile()))
        return true;
    if (!info.isSymLink() && info.isDir()) {
        m_problem = QStringLiteral("%1 is a folder where the settings lock belongs: remove or "
                                   "rename it, or a second Zorvane on these settings goes "
                                   "unnoticed")
                        .arg(m_path);
        return false;
    }
    // A symbolic link (followed, the lock would read or replace what it names) or a pipe,
    // socket or device (opened, a pipe blocks the start for good): never a lock a running
    // instance made, and nothing is lost with its name.
    if (QFile::remove(m_path))
        return true;
    m_problem = QStringLiteral("%1 is not a lock file and cannot be removed: remove it, or a "
                               "second Zorvane on these settings goes unnoticed")
                    .arg(m_path);
    return false;
}

} // namespace zorvane::settings
