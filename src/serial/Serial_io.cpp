#include "Serial_io.h"

#include "DeviceKind.h"
#include "PortNames.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace zorvane::serial {

namespace {

constexpr qint64 kReadChunkBytes = 64 * 1024;

QSerialPort::Parity toQtParity(int parity)
{
    switch (parity) {
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    default:
        return QSerialPort::NoParity;
    }
}

} // namespace

SerialIo::SerialIo() : m_inNext(m_in.constData()), m_inEnd(m_inNext)
{
    const auto wake = [this] {
        if (m_wake)
            m_wake();
    };
    QObject::connect(&m_device, &QSerialPort::readyRead, &m_device, wake);
    QObject::connect(&m_device, &QSerialPort::errorOccurred, &m_device,
                     [wake](QSerialPort::SerialPortError error) {
                         if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
                             wake();
                     });
}

SerialIo::~SerialIo()
{
    if (m_device.isOpen())
        m_device.close();
}

bool SerialIo::c_open(int port, int baudRate, int dataBits, int parity, int stopBits, OpenKind kind)
{
    if (port > kPortCount)
        return false;

    m_requested = {baudRate, dataBits, parity, stopBits};
    m_lastDevice = port_names(port, m_documentsFolder);
    resetChunk();
    m_failure = {port, m_lastDevice, false, m_requested, QSerialPort::NoError, {}};
    const QString pin =
        m_documentsFolder.isEmpty() ? QString() : overrideLinkPath(m_documentsFolder, port);

    bool accepted = false;
    if (m_device.isOpen())
        m_device.close();
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
    return accepted;
}

bool SerialIo::openDevice()
{
    const DeviceKind kind = deviceKind(m_lastDevice);
    if (kind != DeviceKind::Terminal && kind != DeviceKind::Missing) {
        // Not opened at all: a named pipe would wait for a writer, and a device of another
        // kind may act on being opened.
        m_failure.error = QSerialPort::UnsupportedOperationError;
        m_failure.errorText = QStringLiteral("not a serial port");
        return false;
    }
    // QSerialPort opens exclusively: TIOCEXCL plus a lock file named after the path. The
    // path is resolved first so that two links to one device share that lock; TIOCEXCL
    // alone does not stop a second open by root.
    const QString resolved = QFileInfo(m_lastDevice).canonicalFilePath();
    m_device.setPortName(resolved.isEmpty() ? m_lastDevice : resolved);
    // The port object applies the settings it kept from the device before while it opens;
    // start from 9600 8N1, which every device takes, so a parity that device took cannot
    // fail this open before the settings asked for now are tried.
    m_device.setBaudRate(QSerialPort::Baud9600);
    m_device.setDataBits(QSerialPort::Data8);
    m_device.setParity(QSerialPort::NoParity);
    m_device.setStopBits(QSerialPort::OneStop);
    if (!m_device.open(QIODevice::ReadWrite)) {
        m_failure.error = m_device.error();
        m_failure.errorText = m_device.errorString();
        return false;
    }
    if (!applyLineSettings(m_requested)) {
        // A port the program shows as off line must not stay locked by it.
        m_failure.settingsRefused = true;
        m_device.close();
        return false;
    }
    m_device.setReadBufferSize(kReadBufferBytes);
    m_claim.claim(resolved.isEmpty() ? m_lastDevice : resolved);
    m_resting = false;
    return true;
}

bool SerialIo::applyLineSettings(const LineSettings &s)
{
    if (s.baudRate <= 0)
        return false;
    const auto dataBits = s.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8;
    const auto stopBits = s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    if (!(m_device.setBaudRate(s.baudRate) && m_device.setDataBits(dataBits) &&
          m_device.setParity(toQtParity(s.parity)) && m_device.setStopBits(stopBits)))
        return false;
#ifdef Q_OS_UNIX
    // tcsetattr succeeds when any part of the change was made, so a driver may drop the
    // parity or the byte size and still report success: read back what the device holds.
    termios held{};
    if (::tcgetattr(m_device.handle(), &held) != 0)
        return false;
    const bool parityOn = (held.c_cflag & PARENB) != 0;
    if ((held.c_cflag & CSIZE) != (s.dataBits == 7 ? CS7 : CS8) || parityOn != (s.parity != 0) ||
        (parityOn && ((held.c_cflag & PARODD) != 0) != (s.parity == 1)) ||
        ((held.c_cflag & CSTOPB) != 0) != (s.stopBits == 2))
        return false;
#endif
    return true;
}

void SerialIo::c_close()
{
    if (!m_held)
        return;
    m_device.flush();
    m_device.close();
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
    m_device.putChar(static_cast<char>(ch & 0xFF));
    m_device.flush();
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
    m_device.write(bytes.data(), bytes.size());
    m_device.flush();
}

QByteArray byteValued(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text[i].unicode() & 0xFF);
    return bytes;
}

bool SerialIo::isAlive() const
{
    if (!m_held)
        return false;
#ifdef Q_OS_UNIX
    termios settings{};
    return ::tcgetattr(m_device.handle(), &settings) == 0;
#else
    return m_device.isOpen() && m_device.error() != QSerialPort::ResourceError;
#endif
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
    if (!m_held || m_resting)
        return;
    // QSerialPort stops reading once its buffer holds this much, until the next read.
    m_device.setReadBufferSize(1);
    m_resting = true;
}

int SerialIo::refillAndGet(ReadWait wait)
{
    if (!m_held)
        return -1;
    if (m_resting) {
        // Asked the device directly below, whether or not the event loop ran since resting.
        m_device.setReadBufferSize(kReadBufferBytes);
        m_resting = false;
    }
    if (m_device.bytesAvailable() == 0) {
        if (wait == ReadWait::None) {
            // Take what the kernel holds now without waiting: a long run of ticks inside one
            // timer event keeps draining the device although the event loop is not running.
            m_device.waitForReadyRead(0);
        } else {
            const QDeadlineTimer deadline(kReadTimeoutMs);
            while (m_device.bytesAvailable() == 0 && !deadline.hasExpired()) {
                if (!m_device.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
                    m_device.error() != QSerialPort::TimeoutError)
                    break; // the device failed: the link check will say so
            }
        }
        if (m_device.bytesAvailable() == 0)
            return -1;
    }
    resetChunk(m_device.read(kReadChunkBytes));
    if (m_inNext == m_inEnd)
        return -1;
    m_lastReadMs = QDateTime::currentMSecsSinceEpoch();
    return static_cast<unsigned char>(*m_inNext++);
}

int SerialIo::c_getc_link()
{
    if (!m_held) {
        m_portOpen = false;
        return -3;
    }
    // Bytes that arrived before an unplug are still the module's: hand them out first.
    if (m_inNext != m_inEnd || m_device.bytesAvailable() > 0)
        return c_getc();
    if (!isAlive()) {
        m_reopenGuard.lost();
        c_close();
        return -2;
    }
    return c_getc();
}

} // namespace zorvane::serial
