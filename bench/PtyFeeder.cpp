#include "PtyFeeder.h"

#include "Clocks.h"

#include "PtyModule.h"
#include "os/PseudoTerminal.h"
#include "serial/PortNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace zorvane::bench {

namespace {
constexpr qsizetype kWriteChunk = 64 * 1024;
constexpr auto kPaceStep = std::chrono::milliseconds(1);

} // namespace

PtyFeeder::PtyFeeder()
{
    const zorvane::os::PseudoTerminal pty = zorvane::os::openRawPseudoTerminal();
    if (!pty.isValid())
        return;
    m_master = pty.master;
    m_slave = pty.slave;
    m_slavePath = pty.slavePath;
}

bool PtyFeeder::linkAsOnlyPort(const QString &home, int port) const
{
    const QString docs = useTemporaryHome(home);
    isolatePorts(docs);
    return isValid() && linkAs(docs, port);
}

PtyFeeder::~PtyFeeder()
{
    join();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyFeeder::linkAs(const QString &documentsFolder, int port) const
{
    const QString link = zorvane::serial::overrideLinkPath(documentsFolder, port);
    QDir().mkpath(QFileInfo(link).absolutePath());
    QFile::remove(link);
    return QFile::link(m_slavePath, link);
}

void PtyFeeder::discardInput()
{
    char buf[4096];
    pollfd pfd{m_master, POLLIN, 0};
    while (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
        if (::read(m_master, buf, sizeof buf) <= 0)
            break;
    }
}

void PtyFeeder::start(std::unique_ptr<Payload> payload, qint64 bytesPerSecond)
{
    m_payload = std::move(payload);
    m_thread = std::thread([this, bytesPerSecond] {
        pthread_setname_np(pthread_self(), "pty-writer");
        run(bytesPerSecond);
    });
}

void PtyFeeder::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool PtyFeeder::writeAll(const char *data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        // The master blocks while the slave's input queue is full: the kernel's flow control.
        const ssize_t n = ::write(m_master, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
        m_written.fetch_add(n, std::memory_order_relaxed);
    }
    return true;
}

void PtyFeeder::run(qint64 bytesPerSecond)
{
    QByteArray chunk(kWriteChunk, Qt::Uninitialized);
    if (bytesPerSecond <= 0) {
        for (;;) {
            const qsizetype n = m_payload->next(chunk.data(), chunk.size());
            if (n == 0 || !writeAll(chunk.constData(), n))
                break;
        }
    } else {
        const auto start = std::chrono::steady_clock::now();
        auto wake = start;
        qint64 sent = 0;
        for (;;) {
            wake += kPaceStep;
            std::this_thread::sleep_until(wake);
            const double elapsed = std::chrono::duration<double>(wake - start).count();
            const qint64 due = qint64(elapsed * double(bytesPerSecond)) - sent;
            if (due <= 0)
                continue;
            const qsizetype n = m_payload->next(chunk.data(), std::min<qint64>(due, chunk.size()));
            if (n == 0 || !writeAll(chunk.constData(), n))
                break;
            sent += n;
        }
    }
    m_cpuSeconds = zorvane::bench::cpuSeconds(CpuOf::ThisThread);
    m_finished.store(true, std::memory_order_release);
}

} // namespace zorvane::bench
