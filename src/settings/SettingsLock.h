#pragma once

#include <QLockFile>
#include <QString>

namespace zorvane::settings {

// One instance per settings file: the file's lock, "<file>.lock" beside it, held from start-up
// to exit. The lock names the holder's process; a lock whose process is gone (a crash, kill
// -9) is taken over by the next start, however old or new it is.
class SettingsLock
{
public:
    enum class State {
        // This instance holds the lock and may write the file at exit.
        Owned,
        // Another running instance holds it: this one must leave the file alone.
        HeldElsewhere,
        // No lock could be made (a read-only folder, say): nobody can hold one, so the
        // instance goes on as if it were alone, and saving reports its own failure.
        Unavailable,
    };

    explicit SettingsLock(const QString &settingsPath);

    State acquire();
    State state() const { return m_state; }
    static QString lockPath(const QString &settingsPath);

private:
    QLockFile m_lock;
    State m_state = State::Unavailable;
};

} // namespace zorvane::settings
