#include "PtyModule.h"

#include "os/PseudoTerminal.h"
#include "serial/CustomBaud.h"
#include "serial/PortNames.h"
#include "serial/Serial_io.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

PtyModule::PtyModule()
{
    const zorvane::os::PseudoTerminal pty = zorvane::os::openRawPseudoTerminal();
    if (!pty.isValid())
        return;
    m_master = pty.master;
    m_slave = pty.slave;
    m_slavePath = pty.slavePath;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyModule::~PtyModule()
{
    unplug();
}

bool PtyModule::linkAs(const QString &documentsFolder, int port)
{
    const QString link = zorvane::serial::overrideLinkPath(documentsFolder, port);
    QDir().mkpath(QFileInfo(link).absolutePath());
    QFile::remove(link);
    m_links << link;
    return QFile::link(m_slavePath, link);
}

bool PtyModule::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            QCoreApplication::processEvents();
        }
    }
    return done == bytes.size();
}

QByteArray PtyModule::readAvailable()
{
    char buf[4096];
    while (m_master >= 0) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            break;
        m_received.append(buf, n);
    }
    QByteArray out;
    out.swap(m_received);
    return out;
}

QByteArray PtyModule::readAtLeast(qsizetype count, int timeoutMs)
{
    QByteArray out;
    const QDeadlineTimer deadline(timeoutMs);
    while (out.size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        out += readAvailable();
        if (out.size() < count)
            QThread::msleep(1);
    }
    return out;
}

bool PtyModule::waitUntilProgramCanRead(int timeoutMs) const
{
    if (m_slave < 0)
        return false;
    pollfd fd{m_slave, POLLIN, 0};
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const int n = ::poll(&fd, 1, static_cast<int>(deadline.remainingTime()));
        if (n > 0)
            return (fd.revents & POLLIN) != 0;
        if (n < 0 && errno != EINTR)
            return false;
    }
    return false;
}

bool PtyModule::waitUntilProgramCanRead(qsizetype count, int timeoutMs) const
{
    if (m_slave < 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    int waiting = 0;
    while (::ioctl(m_slave, FIONREAD, &waiting) == 0 && waiting < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(1);
    }
    return waiting >= count;
}

termios PtyModule::programSideSettings() const
{
    termios settings{};
    if (m_slave >= 0)
        ::tcgetattr(m_slave, &settings);
    return settings;
}

int PtyModule::programSideRate() const
{
    return m_master >= 0 ? zorvane::serial::custom_baud::currentRate(m_master) : 0;
}

bool PtyModule::setProgramSideRate(int rate)
{
    return m_master >= 0 && zorvane::serial::custom_baud::setRate(m_master, rate);
}

void PtyModule::unplug()
{
    for (const QString &link : std::as_const(m_links)) {
        // Only a link that still leads here: a test may have pointed the port elsewhere.
        if (QFileInfo(link).symLinkTarget() == m_slavePath) {
            QFile::remove(link);
            QFile::link(QStringLiteral("/nonexistent/unplugged"), link);
        }
    }
    m_links.clear();
    vanish();
}

void PtyModule::vanish()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}

std::unique_ptr<PtyModule> ptyNamed(const QString &path)
{
    const auto number = [](const QString &name) {
        return name.section(QLatin1Char('/'), -1).toInt();
    };
    // The kernel gives the lowest free number: hold the lower ones until the wanted one comes.
    std::vector<std::unique_ptr<PtyModule>> lower;
    for (int tries = 0; tries < 256; ++tries) {
        auto next = std::make_unique<PtyModule>();
        if (!next->isValid() || number(next->slavePath()) > number(path))
            return nullptr;
        if (next->slavePath() == path)
            return next;
        lower.push_back(std::move(next));
    }
    return nullptr;
}

void isolatePorts(const QString &documentsFolder)
{
    QDir().mkpath(documentsFolder + QStringLiteral("ports"));
    for (int port = 1; port <= zorvane::serial::kPortCount; ++port) {
        const QString link = zorvane::serial::overrideLinkPath(documentsFolder, port);
        QFile::remove(link);
        QFile::link(QStringLiteral("/nonexistent/COM%1").arg(port), link);
    }
}

QString useTemporaryHome(const QString &home)
{
    qputenv("HOME", home.toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DOCUMENTS_DIR");
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
           QStringLiteral("/Zorvane/");
}

QByteArray sentSoFar(zorvane::serial::SerialIo &serial, PtyModule &module)
{
    serial.c_putc(u'#');
    QByteArray bytes;
    while (!bytes.endsWith('#')) {
        const QByteArray more = module.readAtLeast(1);
        if (more.isEmpty())
            break;
        bytes += more;
    }
    if (bytes.endsWith('#'))
        bytes.chop(1);
    return bytes;
}
