#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <thread>

// A file receiver at the far end of the program's port, carried as a real line would carry it:
// the receiving program runs on a pseudo-terminal of its own, and a relay thread moves the
// program's bytes to it at the pace of a fast line and its answers back a moment later.
// (lrzsz's receivers lose blocks written to them as fast as a pseudo-terminal takes them, and
// empty their input right after asking for the first block, so an instant answer is lost.)
class ReceiverRelay
{
public:
    // The pace of the line towards the receiver, and how long an answer takes to come back.
    static constexpr int kBytesPerMs = 256;
    static constexpr int kAnswerDelayUs = 500;

    // `paced` false connects the receiver to the port's far end directly (no relay thread).
    explicit ReceiverRelay(bool paced = true);
    ~ReceiverRelay();
    ReceiverRelay(const ReceiverRelay &) = delete;
    ReceiverRelay &operator=(const ReceiverRelay &) = delete;

    bool isValid() const;
    // The device the program opens (link it as a port, or put a server in front of it).
    QString portDevice() const { return m_portSlavePath; }
    // The receiver's own device, for a receiver that opens it by name.
    QString receiverDevice() const { return m_receiverSlavePath; }

    // Starts the receiver in `folder` with its input and output on its pseudo-terminal.
    bool start(const QString &program, const QStringList &arguments, const QString &folder);
    QProcess &receiver() { return m_receiver; }
    // Waits, running the event loop, for the receiver to end.
    bool waitForReceiver(int timeoutMs);
    // Everything the program wrote towards the receiver so far.
    QByteArray programWrote() const;
    // From now on the receiver's answers are dropped: a receiver that stops answering.
    void muteAnswers() { m_answering = false; }

private:
    void relayTowardsReceiver();
    void relayAnswers();

    int m_portMaster = -1;
    int m_portSlave = -1;
    QString m_portSlavePath;
    int m_receiverMaster = -1;
    int m_receiverSlave = -1;
    // The receiver's standard output.
    int m_answers[2] = {-1, -1};
    QString m_receiverSlavePath;
    bool m_paced;
    QProcess m_receiver;
    std::thread m_towardsReceiver;
    std::thread m_towardsPort;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_answering{true};
    mutable std::mutex m_mutex;
    QByteArray m_wrote;
};
