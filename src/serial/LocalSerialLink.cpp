#include "LocalSerialLink.h"

#include <QSocketNotifier>

#include "ModemLinesIo.h"

#include "CustomBaud.h"
#include "DeviceKind.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <termios.h>
#endif

namespace zorvane::serial {

namespace {

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

LocalSerialLink::LocalSerialLink(QObject *parent) : Link(parent)
{
    connect(&m_device, &QSerialPort::readyRead, this, &Link::readyRead);
    connect(&m_device, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) {
                if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError)
                    emit failed();
            });
}

LocalSerialLink::~LocalSerialLink()
{
    if (m_device.isOpen())
        m_device.close();
}

bool LocalSerialLink::open(const QString &target, const LineSettings &settings)
{
    m_error = {};
    if (m_device.isOpen())
        m_device.close();
    const DeviceKind kind = deviceKind(target);
    if (kind != DeviceKind::Terminal && kind != DeviceKind::Missing) {
        // Not opened at all: a named pipe would wait for a writer, and a device of another
        // kind may act on being opened.
        m_error.error = QSerialPort::UnsupportedOperationError;
        m_error.text = QStringLiteral("not a serial port");
        return false;
    }
    // QSerialPort opens exclusively: TIOCEXCL plus a lock file named after the path. The
    // path is resolved first so that two links to one device share that lock; TIOCEXCL
    // alone does not stop a second open by root.
    const QString resolved = QFileInfo(target).canonicalFilePath();
    m_device.setPortName(resolved.isEmpty() ? target : resolved);
    // The port object applies the settings it kept from the device before while it opens;
    // start from 9600 8N1, which every device takes, so a parity that device took cannot
    // fail this open before the settings asked for now are tried.
    m_device.setBaudRate(QSerialPort::Baud9600);
    m_device.setDataBits(QSerialPort::Data8);
    m_device.setParity(QSerialPort::NoParity);
    m_device.setStopBits(QSerialPort::OneStop);
    if (!m_device.open(QIODevice::ReadWrite)) {
        m_error.error = m_device.error();
        m_error.text = m_device.errorString();
        return false;
    }
    if (!applyLineSettings(settings)) {
        // A port the program shows as off line must not stay locked by it.
        m_error.settingsRefused = true;
        m_device.close();
        return false;
    }
    m_device.setReadBufferSize(kReadBufferBytes);
    return true;
}

bool LocalSerialLink::applyLineSettings(const LineSettings &s)
{
    if (s.baudRate <= 0)
        return false;
    const auto dataBits = s.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8;
    const auto stopBits = s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
#ifdef Q_OS_UNIX
    // The port object rewrites its own copy of the settings at each of its setters, so the
    // flow control and the rate, set on the descriptor itself, come after them.
    if (!(m_device.setDataBits(dataBits) && m_device.setParity(toQtParity(s.parity)) &&
          m_device.setStopBits(stopBits)))
        return false;
    const int fd = int(m_device.handle());
    termios held{};
    if (::tcgetattr(fd, &held) != 0)
        return false;
    // XON/XOFF pace both directions, and only XON resumes: IXANY would let any byte of a
    // binary stream undo a pause.
    held.c_cflag &= ~CRTSCTS;
    held.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (s.flowControl == FlowControl::RtsCts)
        held.c_cflag |= CRTSCTS;
    else if (s.flowControl == FlowControl::XonXoff)
        held.c_iflag |= IXON | IXOFF;
    if (::tcsetattr(fd, TCSANOW, &held) != 0)
        return false;
    if (!custom_baud::setRate(fd, s.baudRate)) {
        m_error.text = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // tcsetattr succeeds when any part of the change was made, so a driver may drop the
    // parity or the byte size and still report success: read back what the device holds.
    if (::tcgetattr(fd, &held) != 0)
        return false;
    const bool parityOn = (held.c_cflag & PARENB) != 0;
    if ((held.c_cflag & CSIZE) != (s.dataBits == 7 ? CS7 : CS8) || parityOn != (s.parity != 0) ||
        (parityOn && ((held.c_cflag & PARODD) != 0) != (s.parity == 1)) ||
        ((held.c_cflag & CSTOPB) != 0) != (s.stopBits == 2))
        return false;
    const bool rtsCts = (held.c_cflag & CRTSCTS) != 0;
    const bool xonXoff = (held.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF);
    if (rtsCts != (s.flowControl == FlowControl::RtsCts) ||
        xonXoff != (s.flowControl == FlowControl::XonXoff)) {
        m_error.text = QStringLiteral("the driver would not take the flow control");
        return false;
    }
    // A driver rounds a rate to what its clock divides into, and says which it took.
    const int rate = custom_baud::currentRate(fd);
    if (!custom_baud::closeEnough(s.baudRate, rate)) {
        m_error.text = QStringLiteral("it runs at %1 baud instead").arg(rate);
        return false;
    }
    return true;
#else
    const auto flow = s.flowControl == FlowControl::RtsCts    ? QSerialPort::HardwareControl
                      : s.flowControl == FlowControl::XonXoff ? QSerialPort::SoftwareControl
                                                              : QSerialPort::NoFlowControl;
    return m_device.setBaudRate(s.baudRate) && m_device.setDataBits(dataBits) &&
           m_device.setParity(toQtParity(s.parity)) && m_device.setStopBits(stopBits) &&
           m_device.setFlowControl(flow);
#endif
}

void LocalSerialLink::close()
{
    if (!m_device.isOpen())
        return;
    m_device.flush();
    m_device.close();
}

bool LocalSerialLink::isAlive() const
{
    if (!m_device.isOpen())
        return false;
#ifdef Q_OS_UNIX
    termios settings{};
    return ::tcgetattr(m_device.handle(), &settings) == 0;
#else
    return m_device.error() != QSerialPort::ResourceError;
#endif
}

bool LocalSerialLink::waitForReadyRead(int ms)
{
    // Asks the device at least once, so a wait of 0 takes what the kernel holds now.
    const QDeadlineTimer deadline(ms);
    while (m_device.bytesAvailable() == 0) {
        if (!m_device.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
            m_device.error() != QSerialPort::TimeoutError)
            return false; // the device failed: the link check will say so
        if (deadline.hasExpired())
            break;
    }
    return m_device.bytesAvailable() > 0;
}

void LocalSerialLink::write(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    m_device.write(bytes.data(), bytes.size());
    m_device.flush();
}

void LocalSerialLink::setResting(bool resting)
{
    // QSerialPort stops reading once its buffer holds this much, until the next read.
    m_device.setReadBufferSize(resting ? 1 : kReadBufferBytes);
}

void LocalSerialLink::setDozing(bool dozing)
{
    // QSerialPort watches the device with a read notifier of its own, its child, and switches
    // it on again at its next read; off, the bytes wait in the kernel without a wake-up.
    for (QSocketNotifier *notifier : m_device.findChildren<QSocketNotifier *>()) {
        if (notifier->type() == QSocketNotifier::Read)
            notifier->setEnabled(!dozing);
    }
}

// A device that cannot tell its lines (a pseudo-terminal) answers nothing; see ModemLinesIo.
bool LocalSerialLink::setOutputs(const ModemLineChange &change)
{
    return isOpen() && modem_io::setOutputs(int(m_device.handle()), change);
}

std::optional<ModemOutputs> LocalSerialLink::outputs() const
{
    if (!isOpen())
        return std::nullopt;
    return modem_io::outputs(int(m_device.handle()));
}

std::optional<ModemInputs> LocalSerialLink::inputs() const
{
    if (!isOpen())
        return std::nullopt;
    return modem_io::inputs(int(m_device.handle()));
}

bool LocalSerialLink::setBreak(bool on)
{
    return isOpen() && modem_io::setBreak(int(m_device.handle()), on);
}

} // namespace zorvane::serial
