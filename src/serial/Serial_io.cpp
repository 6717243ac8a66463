#include "Serial_io.h"

#include "DeviceKind.h"
#include "LinkFactory.h"
#include "LinkLog.h"
#include "PortNames.h"

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
    switch (beginOpen(port, {baudRate, dataBits, parity, stopBits}, kind)) {
    case Link::OpenStart::Opened:
        return true;
    case Link::OpenStart::Failed:
        return false;
    case Link::OpenStart::Pending:
        break;
    }
    return settleOpen(m_link->waitForOpen());
}

Link::OpenStart SerialIo::beginOpen(int port, const LineSettings &settings, OpenKind kind)
{
    ++m_openCount;
    m_opening = false;
    if (port > kPortCount)
        return Link::OpenStart::Failed;

    m_requested = settings;
    // Flow control is kept per port number here, whoever asks for the open.
    m_requested.flowControl = flowControl(port);
    m_lastDevice = port_names(port, m_documentsFolder);
    resetChunk();
    m_failure = {port, m_lastDevice, false, m_requested, QSerialPort::NoError, {}};
    m_openPort = port;
    m_openKind = kind;
    m_openPin = m_documentsFolder.isEmpty() ? QString() : overrideLinkPath(m_documentsFolder, port);

    replaceLink(m_lastDevice);
    m_failure.remote = m_link->isRemote();
    m_claim.release();
    if (kind == OpenKind::QuietReopen && !m_reopenGuard.mayReopenQuietly(port, m_openPin)) {
        m_failure.errorText = QStringLiteral("the pseudo-terminal went away; its pin has not "
                                             "been made again since");
        m_held = false;
        m_portOpen = true;
        qCDebug(lcLink, "quiet reopening of COM%d (%s) failed: %s", port, qPrintable(m_lastDevice),
                qPrintable(m_failure.errorText));
        return Link::OpenStart::Failed;
    }
    if (m_lastDevice.isEmpty())
        return settleOpen(false) ? Link::OpenStart::Opened : Link::OpenStart::Failed;

    const Link::OpenStart start = m_link->startOpen(m_lastDevice, m_requested);
    if (start != Link::OpenStart::Pending)
        return settleOpen(start == Link::OpenStart::Opened) ? Link::OpenStart::Opened
                                                            : Link::OpenStart::Failed;
    m_opening = true;
    // Queued: the link's handler that ended the open has returned before anyone may replace
    // the link; an open given up or replaced meanwhile is not reported.
    QObject::connect(
        m_link.get(), &Link::openFinished, &m_openEvents,
        [this, count = m_openCount](bool opened) {
            if (count != m_openCount || !m_opening)
                return;
            const bool held = settleOpen(opened);
            if (m_openDone)
                m_openDone(held);
        },
        Qt::QueuedConnection);
    return Link::OpenStart::Pending;
}

bool SerialIo::settleOpen(bool accepted)
{
    m_opening = false;
    if (!m_lastDevice.isEmpty() && !accepted) {
        const LinkError error = m_link->lastError();
        m_failure.error = error.error;
        m_failure.errorText = error.text;
        m_failure.settingsRefused = error.settingsRefused;
    }
    if (accepted) {
        claimDevice();
        m_reopenGuard.opened(m_openPort, m_openPin, isPseudoTerminalName(m_lastDevice));
    } else {
        m_reopenGuard.openFailed(m_openPort, m_openPin, m_lastDevice);
    }
    m_held = accepted;
    // Set even on failure: the next link check finds no device and reports it.
    m_portOpen = true;
    const char *how = m_openKind == OpenKind::QuietReopen ? "quiet reopening" : "open";
    if (accepted)
        qCDebug(lcLink, "%s of COM%d (%s) succeeded", how, m_openPort, qPrintable(m_lastDevice));
    else
        qCDebug(lcLink, "%s of COM%d (%s) failed: %s%s", how, m_openPort,
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

void SerialIo::claimDevice()
{
    // Claimed under the resolved path, so two links to one device name one claim.
    const QString resolved = QFileInfo(m_lastDevice).canonicalFilePath();
    m_claim.claim(resolved.isEmpty() ? m_lastDevice : resolved);
    m_resting = false;
}

void SerialIo::cancelOpen()
{
    if (!m_opening)
        return;
    ++m_openCount;
    m_opening = false;
    m_link->close();
    qCDebug(lcLink, "open of COM%d (%s) given up", m_openPort, qPrintable(m_lastDevice));
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
    return m_held && m_link->lineSettingsFixedByServer();
}

QByteArray SerialIo::takeBanner()
{
    return m_link->takeBanner();
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
    if (m_readTap)
        m_readTap(m_in);
    m_lastReadMs = m_wallClock();
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
