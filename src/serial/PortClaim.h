#pragma once

#include <QString>

#include <optional>

namespace zorvane::serial {

// Another Zorvane instance that holds a device open, and the profile it runs with (empty for
// the default settings).
struct ZorvaneHolder
{
    qint64 pid = 0;
    QString profile;
};

// Tells other Zorvane instances which device this one holds: a small file per device in a
// folder of the user's own (the runtime folder), locked with flock() while the device is held.
// The kernel drops that lock when the holder ends, however it ends, so a file left behind by
// a crashed instance reads as nobody's and is simply taken over by the next claim.
class PortClaim
{
public:
    PortClaim() = default;
    ~PortClaim();
    PortClaim(const PortClaim &) = delete;
    PortClaim &operator=(const PortClaim &) = delete;

    void setProfile(const QString &profile) { m_profile = profile; }
    // Claims the device (a canonical path); a claim that cannot be made is simply not
    // published, the device stays open all the same.
    void claim(const QString &device);
    void release();

private:
    int m_fd = -1;
    QString m_path;
    QString m_profile;
};

// The live Zorvane instance, other than this one, that claims the device (a canonical path).
std::optional<ZorvaneHolder> zorvaneHolder(const QString &device);

// "in use by Zorvane, profile NAME", or "in use by Zorvane" for the default settings.
QString inUseByZorvaneText(const ZorvaneHolder &holder);

// Where the claims are kept: <runtime folder>/zorvane-ports/, made private to this user; empty
// when no such folder can be had safely.
QString claimFolder();

} // namespace zorvane::serial
