#pragma once

#include <QString>

namespace zorvane::sim {

// The ports/COMn link that makes a port number lead to the simulator's pseudo-terminal.
class PortLink
{
public:
    PortLink(QString documentsFolder, int port);
    ~PortLink();
    PortLink(const PortLink &) = delete;
    PortLink &operator=(const PortLink &) = delete;

    // The device the port leads to now, when that device exists.
    QString presentDevice() const;
    // Points the link at `device`. A link left dangling by an earlier run is replaced; a link
    // to a device that exists, or a file that is no link, is kept and `error` says why.
    bool pin(const QString &device, QString *error);
    // Removes the link if it still leads to the device pinned.
    void unpin();

    QString path() const { return m_path; }

private:
    QString m_documents;
    int m_port;
    QString m_path;
    QString m_pinned;
};

} // namespace zorvane::sim
