#include "PortLink.h"

#include "serial/PortNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zorvane::sim {

PortLink::PortLink(QString documentsFolder, int port)
    : m_documents(std::move(documentsFolder)), m_port(port),
      m_path(serial::overrideLinkPath(m_documents, port))
{}

PortLink::~PortLink()
{
    unpin();
}

QString PortLink::presentDevice() const
{
    const QString device = serial::port_names(m_port, m_documents);
    return !device.isEmpty() && QFileInfo::exists(device) ? device : QString();
}

bool PortLink::pin(const QString &device, QString *error)
{
    const QFileInfo link(m_path);
    if (link.isSymLink()) {
        if (link.exists()) {
            *error = QStringLiteral("%1 already leads to %2, which exists; it stays. Remove the "
                                    "link or choose another port with --port.")
                         .arg(m_path, link.symLinkTarget());
            return false;
        }
        QFile::remove(m_path); // dangling, left by a run that was killed
    } else if (link.exists()) {
        *error = QStringLiteral("%1 exists and is no link; it stays. Choose another port with "
                                "--port.")
                     .arg(m_path);
        return false;
    }
    QDir().mkpath(link.absolutePath());
    if (!QFile::link(device, m_path)) {
        *error = QStringLiteral("cannot create the link %1.").arg(m_path);
        return false;
    }
    m_pinned = device;
    return true;
}

void PortLink::unpin()
{
    if (m_pinned.isEmpty())
        return;
    if (QFileInfo(m_path).symLinkTarget() == QFileInfo(m_pinned).absoluteFilePath())
        QFile::remove(m_path);
    m_pinned.clear();
}

} // namespace zorvane::sim
