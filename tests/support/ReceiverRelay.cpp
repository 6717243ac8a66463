// The relay between the program's port and a receiver's own pseudo-terminal, on a thread so
// the test's event loop (where the program runs) never waits for it.
#include "ReceiverRelay.h"

#include "os/PseudoTerminal.h"

#include <QDeadlineTimer>
#include <QTest>

#include <cerrno>
#include <chrono>

#include <fcntl.h>
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
    for (std::thread *thread : {&m_towardsReceiver, &m_towardsPort}) {
        if (thread->joinable())
            thread->join();
    }
    for (int fd : {m_portMaster, m_portSlave, m_receiverMaster, m_receiverSlave, m_answers[0],
                   m_answers[1]}) {
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
    // The receiver reads its terminal but answers into a pipe: lrzsz's receivers flush their
    // terminal as they end, and on a pseudo-terminal that throws away a last answer not yet
    // read at the other end, where a real line would already have carried it.
    if (::pipe2(m_answers, O_CLOEXEC) != 0)
        return false;
    const int input = m_paced ? m_receiverSlave : m_portMaster;
    const int output = m_answers[1];
    m_receiver.setWorkingDirectory(folder);
    m_receiver.setChildProcessModifier([input, output] {
        ::dup2(input, STDIN_FILENO);
        ::dup2(output, STDOUT_FILENO);
    });
    m_receiver.start(program, arguments);
    const bool started = m_receiver.waitForStarted(5000);
    ::close(m_answers[1]);
    m_answers[1] = -1;
    if (!started)
        return false;
    if (m_paced)
        m_towardsReceiver = std::thread([this] { relayTowardsReceiver(); });
    m_towardsPort = std::thread([this] { relayAnswers(); });
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

void ReceiverRelay::relayTowardsReceiver()
{
    char buffer[kBytesPerMs];
    while (!m_stop) {
        pollfd fds{m_portMaster, POLLIN, 0};
        if (::poll(&fds, 1, 5) <= 0 || !(fds.revents & POLLIN))
            continue;
        const ssize_t n = ::read(m_portMaster, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_wrote.append(buffer, n);
        }
        writeAll(m_receiverMaster, buffer, n, m_stop);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void ReceiverRelay::relayAnswers()
{
    // Answers come through the pipe, or through the terminal from a receiver that opens its
    // device by name.
    char buffer[4096];
    while (!m_stop) {
        pollfd fds[2] = {{m_answers[0], POLLIN, 0}, {m_receiverMaster, POLLIN, 0}};
        if (::poll(fds, m_paced ? 2 : 1, 5) <= 0)
            continue;
        for (const pollfd &fd : fds) {
            if (fd.fd < 0 || !(fd.revents & POLLIN))
                continue;
            const ssize_t n = ::read(fd.fd, buffer, sizeof buffer);
            if (n <= 0 || !m_answering)
                continue;
            if (m_paced)
                std::this_thread::sleep_for(std::chrono::microseconds(kAnswerDelayUs));
            writeAll(m_portMaster, buffer, n, m_stop);
        }
    }
}
