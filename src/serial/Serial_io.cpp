#include "Serial_io.h"

#include "PortNames.h"

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

SerialIo::SerialIo() = default;

SerialIo::~SerialIo()
{
    if (m_device.isOpen())
        m_device.close();
}

bool SerialIo::c_open(int port, int baudRate, int dataBits, int parity, int stopBits)
{
    if (port > kPortCount)
        return false;

    m_requested = {baudRate, dataBits, parity, stopBits};
    m_lastDevice = port_names(port, m_documentsFolder);
    m_in.clear();
    m_inPos = 0;

    bool accepted = false;
    if (m_device.isOpen())
        m_device.close();
    if (!m_lastDevice.isEmpty()) {
        // QSerialPort opens exclusively: TIOCEXCL plus a lock file named after the path. The
        // path is resolved first so that two links to one device share that lock; TIOCEXCL
        // alone does not stop a second open by root.
        const QString resolved = QFileInfo(m_lastDevice).canonicalFilePath();
        m_device.setPortName(resolved.isEmpty() ? m_lastDevice : resolved);
        if (m_device.open(QIODevice::ReadWrite)) {
            accepted = applyLineSettings(m_requested);
            if (accepted) {
                m_device.setReadBufferSize(kReadBufferBytes);
            } else {
                // A port the program shows as off line must not stay locked by it.
                m_device.close();
            }
        }
    }
    m_held = accepted;
    // Set even on failure: the next link check finds no device and reports it.
    m_portOpen = true;
    return accepted;
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
    m_held = false;
    m_in.clear();
    m_inPos = 0;
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
    if (!m_held || text.isEmpty())
        return;
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text[i].unicode() & 0xFF);
    m_device.write(bytes);
    m_device.flush();
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

int SerialIo::refillAndGet(ReadWait wait)
{
    if (!m_held)
        return -1;
    if (m_device.bytesAvailable() == 0) {
        // Pull what the kernel holds now; only a read that may wait blocks here.
        const QDeadlineTimer deadline(wait == ReadWait::Timeout ? kReadTimeoutMs : 0);
        while (m_device.bytesAvailable() == 0) {
            const int left = static_cast<int>(deadline.remainingTime());
            if (!m_device.waitForReadyRead(left) && m_device.error() != QSerialPort::TimeoutError)
                break; // the device failed: the link check will say so
            if (deadline.hasExpired())
                break;
        }
        if (m_device.bytesAvailable() == 0)
            return -1;
    }
    m_in = m_device.read(kReadChunkBytes);
    m_inPos = 0;
    if (m_in.isEmpty())
        return -1;
    return static_cast<unsigned char>(m_in[m_inPos++]);
}

int SerialIo::c_getc_link()
{
    if (!m_held) {
        m_portOpen = false;
        return -3;
    }
    // Bytes that arrived before an unplug are still the module's: hand them out first.
    if (m_inPos < m_in.size() || m_device.bytesAvailable() > 0)
        return c_getc();
    if (!isAlive()) {
        c_close();
        return -2;
    }
    return c_getc();
}

} // namespace zorvane::serial
