// The relay between the program's port and a receiver's own pseudo-terminal, on a thread so
// the test's event loop (where the program runs) never waits for it.
#include "ReceiverRelay.h"

#include "os/PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QTest>

#include <cerrno>
#include <chrono>

#include <poll.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char *data, ssize_t size, const std::atomic<bool> &stop)
{
    while (size > 0 && !stop) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n > 0) {
            data += n;
            size -= n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
    return true;
}

} // namespace

ReceiverRelay::ReceiverRelay(bool paced) : m_paced(paced)
{
    const zorvane::os::PseudoTerminal port = zorvane::os::openRawPseudoTerminal();
    m_portMaster = port.master;
    m_portSlave = port.slave;
    m_portSlavePath = port.slavePath;
    if (m_paced) {
        const zorvane::os::PseudoTerminal receiver = zorvane::os::openRawPseudoTerminal();
        m_receiverMaster = receiver.master;
        m_receiverSlave = receiver.slave;
        m_receiverSlavePath = receiver.slavePath;
    }
}

ReceiverRelay::~ReceiverRelay()
{
    if (m_receiver.state() != QProcess::NotRunning) {
        m_receiver.kill();
        m_receiver.waitForFinished(2000);
    }
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : {m_portMaster, m_portSlave, m_receiverMaster, m_receiverSlave}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool ReceiverRelay::isValid() const
{
    return m_portMaster >= 0 && (!m_paced || m_receiverMaster >= 0);
}

bool ReceiverRelay::start(const QString &program, const QStringList &arguments,
                          const QString &folder)
{
    m_receiver.setWorkingDirectory(folder);
    if (m_paced) {
        m_receiver.setStandardInputFile(m_receiverSlavePath);
        m_receiver.setStandardOutputFile(m_receiverSlavePath, QIODevice::Append);
    } else {
        // Unpaced, the receiver sits on the far end of the port itself.
        const int master = m_portMaster;
        m_receiver.setChildProcessModifier([master] {
            ::dup2(master, STDIN_FILENO);
            ::dup2(master, STDOUT_FILENO);
        });
    }
    m_receiver.start(program, arguments);
    if (!m_receiver.waitForStarted(5000))
        return false;
    if (m_paced)
        m_thread = std::thread([this] { relay(); });
    return true;
}

bool ReceiverRelay::waitForReceiver(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_receiver.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QTest::qWait(10);
        m_receiver.waitForFinished(0);
    }
    return m_receiver.state() == QProcess::NotRunning;
}

QByteArray ReceiverRelay::programWrote() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_wrote;
}

void ReceiverRelay::relay()
{
    char buffer[4096];
    while (!m_stop) {
        pollfd fds[2] = {{m_portMaster, POLLIN, 0}, {m_receiverMaster, POLLIN, 0}};
        if (::poll(fds, 2, 5) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_portMaster, buffer, kBytesPerMs);
            if (n > 0) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_wrote.append(buffer, n);
                }
                writeAll(m_receiverMaster, buffer, n, m_stop);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(m_receiverMaster, buffer, sizeof buffer);
            if (n > 0 && m_answering) {
                std::this_thread::sleep_for(std::chrono::microseconds(kAnswerDelayUs));
                writeAll(m_portMaster, buffer, n, m_stop);
            }
        }
    }
}
