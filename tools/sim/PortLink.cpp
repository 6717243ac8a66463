#include "PortLink.h"

#include "serial/PortNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace zorvane::sim {

namespace {

// Beside each link it makes, the simulator notes its process and device, so that a later run
// knows a link of a killed simulator even when the kernel has since given that
// pseudo-terminal's number to someone else.
QString notePath(const QString &link)
{
    const QFileInfo info(link);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() +
           QStringLiteral(".zorvane-sim");
}

bool leftByKilledSimulator(const QString &link, const QString &target)
{
    QFile note(notePath(link));
    if (!note.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> fields = note.readAll().trimmed().split(' ');
    if (fields.size() != 2 || QString::fromLocal8Bit(fields[1]) != target)
        return false;
    bool ok = false;
    const pid_t pid = pid_t(fields[0].toLongLong(&ok));
    return ok && pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace

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
    const QFileInfo link(m_path);
    if (link.isSymLink() && leftByKilledSimulator(m_path, link.symLinkTarget()))
        return {};
    const QString device = serial::port_names(m_port, m_documents);
    return !device.isEmpty() && QFileInfo::exists(device) ? device : QString();
}

bool PortLink::pin(const QString &device, QString *error)
{
    const QFileInfo link(m_path);
    if (link.isSymLink()) {
        if (link.exists() && !leftByKilledSimulator(m_path, link.symLinkTarget())) {
            *error = QStringLiteral("%1 already leads to %2, which exists; it stays. Remove the "
                                    "link or choose another port with --port.")
                         .arg(m_path, link.symLinkTarget());
            return false;
        }
        QFile::remove(m_path); // left by a run that was killed
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
    QFile note(notePath(m_path));
    if (note.open(QIODevice::WriteOnly | QIODevice::Truncate))
        note.write(QByteArray::number(::getpid()) + ' ' + device.toLocal8Bit() + '\n');
    return true;
}

void PortLink::unpin()
{
    if (m_pinned.isEmpty())
        return;
    if (QFileInfo(m_path).symLinkTarget() == QFileInfo(m_pinned).absoluteFilePath())
        QFile::remove(m_path);
    QFile::remove(notePath(m_path));
    m_pinned.clear();
}

} // namespace zorvane::sim
