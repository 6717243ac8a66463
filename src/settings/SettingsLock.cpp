#include "settings/SettingsLock.h"

namespace zorvane::settings {

SettingsLock::SettingsLock(const QString &settingsPath) : m_lock(lockPath(settingsPath))
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
    if (m_lock.tryLock(0))
        m_state = State::Owned;
    else if (m_lock.error() == QLockFile::LockFailedError)
        m_state = State::HeldElsewhere;
    else
        m_state = State::Unavailable;
    return m_state;
}

} // namespace zorvane::settings
