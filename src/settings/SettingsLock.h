#pragma once

#include <QLockFile>
#include <QString>

namespace zorvane::settings {

// One instance per settings file: the file's lock, "<file>.lock" beside it, held from start-up
// to exit. The lock names the holder's process; a lock whose process is gone (a crash, kill
// -9) is taken over by the next start, however old or new it is. Anything else found at the
// lock's path is never opened: a symbolic link, pipe, socket or device is removed and the
// lock made afresh, and a folder is reported and left alone.
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
    // Why the lock is unavailable and what the user can do, when something stands in its
    // way; empty otherwise.
    QString problem() const { return m_problem; }
    static QString lockPath(const QString &settingsPath);

private:
    // Removes what must not be taken for a lock; false, with the problem, when it cannot.
    bool clearWay();

    QString m_path;
    QLockFile m_lock;
    State m_state = State::Unavailable;
    QString m_problem;
};

} // namespace zorvane::settings
