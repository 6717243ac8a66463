#include "Serial_io.h"

#include "DeviceKind.h"
#include "LinkFactory.h"
#include "LinkLog.h"
#include "PortNames.h"
#include "network/NetworkLink.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLoggingCategory>

namespace zorvane::serial {

namespace {

constexpr qint64 kReadChunkBytes = 64 * 1024;

} // namespace

SerialIo::SerialIo() : m_inNext(m_in.constData()), m_inEnd(m_inNext)
{
    replaceLink(QString());
}

SerialIo::~SerialIo()
{
    // The device goes before the claim that tells other instances it is held.
    m_link->close();
}

void SerialIo::replaceLink(const QString &target)
{
    if (m_link)
        m_link->close();
    m_link = makeLink(target);
    const auto wake = [this] {
        if (m_wake)
            m_wake();
    };
    QObject::connect(m_link.get(), &Link::readyRead, m_link.get(), wake);
    QObject::connect(m_link.get(), &Link::failed, m_link.get(), wake);
}

bool SerialIo::c_open(int port, int baudRate, int dataBits, int parity, int stopBits, OpenKind kind)
{
    if (port > kPortCount)
        return false;

    m_requested = {baudRate, dataBits, parity, stopBits, flowControl(port)};
    m_lastDevice = port_names(port, m_documentsFolder);
    resetChunk();
    m_failure = {port, m_lastDevice, false, m_requested, QSerialPort::NoError, {}};
    const QString pin =
        m_documentsFolder.isEmpty() ? QString() : overrideLinkPath(m_documentsFolder, port);

    bool accepted = false;
    replaceLink(m_lastDevice);
    m_claim.release();
    if (kind == OpenKind::QuietReopen && !m_reopenGuard.mayReopenQuietly(port, pin)) {
        m_failure.errorText = QStringLiteral("the pseudo-terminal went away; its pin has not "
                                             "been made again since");
    } else {
        if (!m_lastDevice.isEmpty())
            accepted = openDevice();
        if (accepted)
            m_reopenGuard.opened(port, pin, isPseudoTerminalName(m_lastDevice));
        else
            m_reopenGuard.openFailed(port, pin, m_lastDevice);
    }
    m_held = accepted;
    // Set even on failure: the next link check finds no device and reports it.
    m_portOpen = true;
    const char *how = kind == OpenKind::QuietReopen ? "quiet reopening" : "open";
    if (accepted)
        qCDebug(lcLink, "%s of COM%d (%s) succeeded", how, port, qPrintable(m_lastDevice));
    else
        qCDebug(lcLink, "%s of COM%d (%s) failed: %s%s", how, port,
                qPrintable(m_lastDevice.isEmpty() ? QStringLiteral("no device") : m_lastDevice),
                qPrintable(m_failure.errorText),
                m_failure.settingsRefused ? "the line settings were refused" : "");
    return accepted;
}

void SerialIo::setFlowControl(int port, FlowControl flow)
{
    if (port >= 0 && port <= kPortCount)
        m_flow[static_cast<size_t>(port)] = flow;
}

FlowControl SerialIo::flowControl(int port) const
{
    return port >= 0 && port <= kPortCount ? m_flow[static_cast<size_t>(port)] : FlowControl::None;
}

bool SerialIo::openDevice()
{
    if (!m_link->open(m_lastDevice, m_requested)) {
        const LinkError error = m_link->lastError();
        m_failure.error = error.error;
        m_failure.errorText = error.text;
        m_failure.settingsRefused = error.settingsRefused;
        return false;
    }
    // Claimed under the resolved path, so two links to one device name one claim.
    const QString resolved = QFileInfo(m_lastDevice).canonicalFilePath();
    m_claim.claim(resolved.isEmpty() ? m_lastDevice : resolved);
    m_resting = false;
    return true;
}

void SerialIo::c_close()
{
    if (!m_held)
        return;
    qCDebug(lcLink, "COM%d (%s) closed", com_port, qPrintable(m_lastDevice));
    m_link->close();
    m_claim.release();
    m_held = false;
    resetChunk();
    last_com_port = com_port;
    com_port = 0;
    m_portOpen = false;
}

void SerialIo::c_putc(char16_t ch)
{
    if (!m_held)
        return;
    const char byte = static_cast<char>(ch & 0xFF);
    m_link->write(QByteArrayView(&byte, 1));
}

void SerialIo::writeText(QStringView text)
{
    if (m_held)
        writeBytes(byteValued(text));
}

void SerialIo::writeBytes(QByteArrayView bytes)
{
    if (!m_held || bytes.isEmpty())
        return;
    m_link->write(bytes);
}

QByteArray byteValued(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text[i].unicode() & 0xFF);
    return bytes;
}

bool SerialIo::lineSettingsFixedByServer() const
{
    const auto *link = qobject_cast<const network::NetworkLink *>(m_link.get());
    return m_held && link && link->lineSettingsFixedByServer();
}

QByteArray SerialIo::takeBanner()
{
    auto *link = qobject_cast<network::NetworkLink *>(m_link.get());
    return link ? link->takeBanner() : QByteArray();
}

bool SerialIo::isAlive() const
{
    return m_held && m_link->isAlive();
}

void SerialIo::resetChunk(QByteArray chunk)
{
    m_takenBefore += m_inNext - m_in.constData();
    m_in = std::move(chunk);
    m_inNext = m_in.constData();
    m_inEnd = m_inNext + m_in.size();
}

void SerialIo::restUntilNextRead()
{
    rest(false);
}

void SerialIo::dozeUntilNextRead()
{
    rest(true);
}

void SerialIo::rest(bool dozing)
{
    if (!m_held)
        return;
    if (!m_resting) {
        m_link->setResting(true);
        m_resting = true;
    }
    m_link->setDozing(dozing);
}

int SerialIo::refillAndGet(ReadWait wait)
{
    if (!m_held)
        return -1;
    if (m_resting) {
        // Asked the device directly below, whether or not the event loop ran since resting.
        m_link->setResting(false);
        m_link->setDozing(false);
        m_resting = false;
    }
    if (m_link->bytesAvailable() == 0) {
        // Without a wait this takes what the kernel holds now: a long run of ticks inside one
        // timer event keeps draining the device although the event loop is not running.
        if (!m_link->waitForReadyRead(wait == ReadWait::None ? 0 : kReadTimeoutMs))
            return -1;
    }
    resetChunk(m_link->read(kReadChunkBytes));
    if (m_inNext == m_inEnd)
        return -1;
    m_lastReadMs = QDateTime::currentMSecsSinceEpoch();
    return static_cast<unsigned char>(*m_inNext++);
}

int SerialIo::c_getc_link()
{
    if (!m_held) {
        m_portOpen = false;
        return LinkCode::NotOpen;
    }
    // Bytes that arrived before an unplug are still the module's: hand them out first.
    if (m_inNext != m_inEnd || m_link->bytesAvailable() > 0)
        return c_getc();
    if (!isAlive()) {
        qCDebug(lcLink, "COM%d (%s) failed its liveness check: dropped, to be reopened quietly",
                com_port, qPrintable(m_lastDevice));
        m_reopenGuard.lost();
        c_close();
        return LinkCode::Lost;
    }
    return c_getc();
}

} // namespace zorvane::serial
