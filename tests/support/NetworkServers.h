#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A server for network port tests, on 127.0.0.1, stopped with the object: ser2net in front of
// a device, or the test peer (pyserial's RFC 2217 server and a few misbehaving ones).
class NetworkServer
{
public:
    NetworkServer() = default;
    ~NetworkServer();
    NetworkServer(const NetworkServer &) = delete;
    NetworkServer &operator=(const NetworkServer &) = delete;

    // The test peer in one of its modes: "pyserial", "silent", "refuse" or "banner", on the
    // port given (a server back where it was) or on one the system picks.
    bool startPeer(const QString &mode, quint16 port = 0);
    // A server that misbehaves without end once connected: "notify", "ff", "endless",
    // "nagging" or "greeting" (tests/serial/hostile_peer.py says what each does).
    bool startHostile(const QString &mode);
    // ser2net with one accepter of the kind given ("telnet(rfc2217),tcp" or "tcp") in front
    // of the device.
    bool startSer2net(const QString &accepterKind, const QString &device);

    quint16 port() const { return m_port; }
    // "rfc2217://127.0.0.1:PORT" and the like, with the options appended.
    QString url(const QString &scheme, const QString &options = {}) const;
    // The server dies at once, as a machine switched off mid-stream.
    void kill();
    // What the server printed, for a failing test's message.
    QString output();

private:
    bool startScript(const QString &script, const QString &mode, quint16 port);
    bool waitUntilListening(int timeoutMs);

    QProcess m_process;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
};

// A TCP port nobody listens on now: bound on the loopback and released.
quint16 unusedTcpPort();
