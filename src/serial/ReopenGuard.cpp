#include "ReopenGuard.h"

#include "DeviceKind.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace zorvane::serial {

PinIdentity pinIdentity(const QString &linkPath)
{
    struct stat st
    {
    };
    if (linkPath.isEmpty() || ::lstat(QFile::encodeName(linkPath).constData(), &st) != 0 ||
        !S_ISLNK(st.st_mode))
        return {};
    // The change time moves when the link is made or touched; the inode number alone may be
    // handed straight to the next link made.
    return {true, quint64(st.st_dev), quint64(st.st_ino),
            qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec,
            QFileInfo(linkPath).symLinkTarget()};
}

void ReopenGuard::opened(int port, const QString &pinPath, bool pseudoTerminal)
{
    m_heldPort = port;
    m_heldPseudoTerminal = pseudoTerminal;
    m_heldPin = pinIdentity(pinPath);
    m_lost.remove(port);
}

void ReopenGuard::lost()
{
    if (m_heldPort != 0 && m_heldPseudoTerminal)
        m_lost.insert(m_heldPort, m_heldPin);
    m_heldPort = 0;
}

void ReopenGuard::openFailed(int port, const QString &pinPath, const QString &device)
{
    if (!device.isEmpty() && deviceKind(device) == DeviceKind::Missing &&
        isPseudoTerminalName(device))
        m_lost.insert(port, pinIdentity(pinPath));
}

bool ReopenGuard::mayReopenQuietly(int port, const QString &pinPath) const
{
    const auto lostPin = m_lost.constFind(port);
    return lostPin == m_lost.cend() || pinIdentity(pinPath) != *lostPin;
}

} // namespace zorvane::serial
