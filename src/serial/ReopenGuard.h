#pragma once

#include <QHash>
#include <QString>

namespace zorvane::serial {

// Which ports/COMn link is in place. A link made again, or renewed, differs from the one before
// it even when it names the same device.
struct PinIdentity
{
    bool present = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 changedNs = 0;
    QString target;

    friend bool operator==(const PinIdentity &, const PinIdentity &) = default;
};

PinIdentity pinIdentity(const QString &linkPath);

// Keeps the quiet reopening away from a pseudo-terminal that went away. A pseudo-terminal is
// never plugged in again: the kernel gives its number to the next program that asks, so the old
// name soon leads to a stranger's terminal. A lost one is reopened quietly only through a pin
// made or renewed since, as a restarted simulator makes. Other devices come back under their
// own name, as a USB adapter plugged in again does, and are always tried.
class ReopenGuard
{
public:
    // An open of `port` succeeded: what it reached, through which pin.
    void opened(int port, const QString &pinPath, bool pseudoTerminal);
    // The device held since the last open vanished.
    void lost();
    // An open of `port` failed; a pseudo-terminal name that is gone counts as lost.
    void openFailed(int port, const QString &pinPath, const QString &device);
    bool mayReopenQuietly(int port, const QString &pinPath) const;

private:
    int m_heldPort = 0;
    bool m_heldPseudoTerminal = false;
    PinIdentity m_heldPin;
    // Ports whose pseudo-terminal vanished, with the pin that led to it.
    QHash<int, PinIdentity> m_lost;
};

} // namespace zorvane::serial
