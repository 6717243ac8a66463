#include "NetworkServers.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace {

// A test that crashes leaves no server behind: the server dies with the test.
void dieWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

} // namespace

NetworkServer::~NetworkServer()
{
    kill();
}

quint16 unusedTcpPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

bool NetworkServer::startPeer(const QString &mode, quint16 port)
{
    return startScript(QStringLiteral(NETWORK_PEER), mode, port);
}

bool NetworkServer::startHostile(const QString &mode)
{
    return startScript(QStringLiteral(HOSTILE_PEER), mode, 0);
}

bool NetworkServer::startScript(const QString &script, const QString &mode, quint16 port)
{
    kill();
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    dieWithParent(m_process);
    QStringList arguments{script, mode};
    if (port != 0)
        arguments << QString::number(port);
    m_process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(100);
    m_port = quint16(m_process.readLine().trimmed().toUInt());
    return m_port != 0;
}

bool NetworkServer::startSer2net(const QString &accepterKind, const QString &device)
{
    // The port is picked before ser2net takes it, so another program may take it in between:
    // a few tries.
    for (int attempt = 0; attempt < 3; ++attempt) {
        kill();
        m_port = unusedTcpPort();
        const QString config = QStringLiteral("connection: &port#"
                                              "  accepter: %1,127.0.0.1,%2#"
                                              "  connector: serialdev,%3,115200n81,local#"
                                              "  options:#"
                                              "    kickolduser: true")
                                   .arg(accepterKind)
                                   .arg(m_port)
                                   .arg(device);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        dieWithParent(m_process);
        m_process.start(QStringLiteral("ser2net"),
                        {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                         m_dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-Y"),
                         config});
        if (m_process.waitForStarted(5000) && waitUntilListening(5000))
            return true;
    }
    return false;
}

bool NetworkServer::waitUntilListening(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(20);
    }
    return false;
}

QString NetworkServer::url(const QString &scheme, const QString &options) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_port).arg(options);
}

void NetworkServer::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString NetworkServer::output()
{
    QByteArray text = m_process.readAllStandardOutput();
    if (m_process.processChannelMode() == QProcess::SeparateChannels)
        text += m_process.readAllStandardError();
    return QString::fromLocal8Bit(text);
}
