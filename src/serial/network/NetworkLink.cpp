#include "NetworkLink.h"

#include "serial/LinkLog.h"

#include <QLoggingCategory>
#include <QTcpSocket>

namespace zorvane::serial::network {

namespace {

QString seconds(int ms)
{
    return QString::number(ms / 1000.0, 'g', 3);
}

// SET-CONTROL's answers about the flow control, as opposed to its modem-line ones.
bool isFlowControlValue(quint8 value)
{
    return value == comport::kNoFlowControl || value == comport::kXonXoffFlowControl ||
           value == comport::kHardwareFlowControl;
}

QString valueText(const ComPortAnswer &answer)
{
    if (answer.command == comport::kSetControl && answer.value.size() == 1) {
        switch (quint8(answer.value.at(0))) {
        case comport::kHardwareFlowControl:
            return QStringLiteral("RTS/CTS flow control");
        case comport::kXonXoffFlowControl:
            return QStringLiteral("XON/XOFF flow control");
        case comport::kNoFlowControl:
            return QStringLiteral("no flow control");
        }
    }
    if (answer.command == comport::kSetBaudRate && answer.value.size() == 4) {
        const auto *v = reinterpret_cast<const quint8 *>(answer.value.constData());
        return QStringLiteral("%1 baud")
            .arg(quint32(v[0]) << 24 | quint32(v[1]) << 16 | quint32(v[2]) << 8 | v[3]);
    }
    static const char *const names[] = {"", "baud rate", "data size", "parity", "stop size"};
    const int value = answer.value.isEmpty() ? -1 : quint8(answer.value.at(0));
    return QStringLiteral("%1 %2")
        .arg(QLatin1String(names[qBound(0, int(answer.command), 4)]))
        .arg(value);
}

} // namespace

NetworkLink::NetworkLink(QObject *parent) : Link(parent) {}

NetworkLink::~NetworkLink()
{
    close();
}

QString NetworkLink::accepterHint()
{
    return QStringLiteral("ser2net's accepter must be telnet(rfc2217),tcp,PORT");
}

bool NetworkLink::fail(QSerialPort::SerialPortError error, const QString &text,
                       bool settingsRefused)
{
    qCDebug(lcLink) << "open failed:" << text;
    m_error = {error, text, settingsRefused};
    close();
    return false;
}

bool NetworkLink::open(const QString &target, const LineSettings &settings)
{
    close();
    m_error = {};
    QString error;
    m_target = parseNetworkTarget(target, &error);
    if (!m_target)
        return fail(QSerialPort::DeviceNotFoundError, error, false);
    if (!connectTo(*m_target))
        return false;
    if (m_target->scheme == NetworkTarget::Scheme::Rfc2217 && !negotiate(settings))
        return false;
    m_open = true;
    m_alive = true;
    connect(m_socket, &QTcpSocket::readyRead, this, &NetworkLink::onSocketReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &NetworkLink::onSocketGone);
    // A wait that timed out is reported as an error too, and leaves the connection as it was.
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (error != QAbstractSocket::SocketTimeoutError)
                    onSocketGone();
            });
    // Bytes that came with the last answer are the device's: the options are agreed now.
    if (!m_buffer.isEmpty() || m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &NetworkLink::onSocketReadyRead, Qt::QueuedConnection);
    return true;
}

bool NetworkLink::connectTo(const NetworkTarget &target)
{
    m_socket = new QTcpSocket(this);
    m_socket->connectToHost(target.host, target.port);
    if (!m_socket->waitForConnected(target.timeoutMs)) {
        const QString where = hostAndPort(target);
        switch (m_socket->error()) {
        case QAbstractSocket::HostNotFoundError:
            return fail(QSerialPort::DeviceNotFoundError,
                        QStringLiteral("host not found: %1").arg(target.host), false);
        case QAbstractSocket::ConnectionRefusedError:
            return fail(QSerialPort::DeviceNotFoundError,
                        QStringLiteral("connection refused by %1").arg(where), false);
        case QAbstractSocket::SocketTimeoutError:
            return fail(QSerialPort::TimeoutError,
                        QStringLiteral("no answer from %1 within %2 s")
                            .arg(where, seconds(target.timeoutMs)),
                        false);
        default:
            return fail(QSerialPort::OpenError,
                        QStringLiteral("%1: %2").arg(where, m_socket->errorString()), false);
        }
    }
    // Commands are short and wait for their answers: no Nagle delay. Keep-alive finds a
    // server that vanished without closing while the port is quiet.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    return true;
}

bool NetworkLink::negotiate(const LineSettings &settings)
{
    m_codec = Rfc2217Codec();
    m_negotiating = true;
    m_awaited.clear();
    m_refusedAnswers.clear();
    bool settingsSent = false;
    bool heardTelnet = false;
    const QString where = hostAndPort(*m_target);
    m_socket->write(m_codec.greeting());
    m_socket->flush();
    QDeadlineTimer deadline(m_target->timeoutMs);
    QByteArray pending;
    for (;;) {
        // One byte at a time while the options are agreed, so the device's bytes that follow
        // the last answer in the same read are told apart from a banner before it.
        if (pending.isEmpty() && m_socket->bytesAvailable() > 0)
            pending = m_socket->readAll();
        qsizetype used = 0;
        while (used < pending.size() && !(settingsSent && m_awaited.isEmpty()) &&
               !m_codec.comPortRefused() && m_refusedAnswers.isEmpty()) {
            const Decoded decoded = m_codec.decode(QByteArrayView(pending).sliced(used, 1));
            ++used;
            heardTelnet = heardTelnet || decoded.sawCommand;
            handle(decoded);
            if (m_codec.comPortAccepted() && !settingsSent)
                break;
        }
        pending.remove(0, used);
        if (m_codec.comPortRefused()) {
            m_negotiating = false;
            return fail(QSerialPort::UnsupportedOperationError,
                        QStringLiteral("%1 does not take line settings over the network; %2")
                            .arg(where, accepterHint()),
                        true);
        }
        if (m_codec.comPortAccepted() && !settingsSent) {
            m_socket->write(Rfc2217Codec::lineSettings(settings));
            m_socket->flush();
            for (quint8 c : {comport::kSetBaudRate, comport::kSetDataSize, comport::kSetParity,
                             comport::kSetStopSize})
                m_awaited.append({c, Rfc2217Codec::expectedValue(c, settings)});
            // A flow control asked for must be confirmed; "none" is only said, so a server
            // that does not know the command still opens as it did before.
            if (settings.flowControl != FlowControl::None)
                m_awaited.append({comport::kSetControl,
                                  Rfc2217Codec::expectedValue(comport::kSetControl, settings)});
            settingsSent = true;
            // Each answer gets the whole time-out from the moment it is asked for.
            deadline.setRemainingTime(m_target->timeoutMs);
        }
        if (!m_refusedAnswers.isEmpty()) {
            m_negotiating = false;
            return fail(QSerialPort::UnsupportedOperationError,
                        QStringLiteral("%1 did not accept the line settings (it set %2); %3")
                            .arg(where, valueText(m_refusedAnswers.first()), accepterHint()),
                        true);
        }
        if (settingsSent && m_awaited.isEmpty())
            break;
        if (!pending.isEmpty())
            continue;
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_negotiating = false;
            return fail(
                QSerialPort::ResourceError,
                QStringLiteral("%1 closed the connection while the options were agreed").arg(where),
                false);
        }
        if (deadline.hasExpired()) {
            m_negotiating = false;
            if (!heardTelnet)
                return fail(QSerialPort::TimeoutError,
                            QStringLiteral("no answer from %1 within %2 s to the telnet "
                                           "options; %3")
                                .arg(where, seconds(m_target->timeoutMs), accepterHint()),
                            true);
            return fail(QSerialPort::TimeoutError,
                        QStringLiteral("%1 did not confirm the line settings within %2 s; %3")
                            .arg(where, seconds(m_target->timeoutMs), accepterHint()),
                        true);
        }
        m_socket->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_negotiating = false;
    handle(m_codec.decode(pending));
    return true;
}

void NetworkLink::handle(const Decoded &decoded)
{
    if (!decoded.reply.isEmpty())
        m_socket->write(decoded.reply);
    if (m_negotiating)
        m_banner += decoded.data;
    else
        m_buffer += decoded.data;

    bool inputsChanged = false;
    for (const ComPortAnswer &answer : decoded.answers) {
        if (answer.command == comport::kNotifyModemState && !answer.value.isEmpty()) {
            const ModemInputs now = Rfc2217Codec::modemInputs(quint8(answer.value.at(0)));
            inputsChanged = inputsChanged || m_inputs != now;
            m_inputs = now;
        } else if (answer.command == comport::kSetControl && !answer.value.isEmpty() &&
                   !isFlowControlValue(quint8(answer.value.at(0)))) {
            switch (quint8(answer.value.at(0))) {
            case comport::kDtrOn:
                m_dtr = true;
                break;
            case comport::kDtrOff:
                m_dtr = false;
                break;
            case comport::kRtsOn:
                m_rts = true;
                break;
            case comport::kRtsOff:
                m_rts = false;
                break;
            }
        } else {
            for (qsizetype i = 0; i < m_awaited.size(); ++i) {
                if (m_awaited[i].command != answer.command)
                    continue;
                if (m_awaited[i].value != answer.value)
                    m_refusedAnswers.append(answer);
                m_awaited.removeAt(i);
                break;
            }
        }
    }
    if (inputsChanged && !m_negotiating)
        emit this->inputsChanged();
}

void NetworkLink::drain()
{
    if (!m_socket || m_socket->bytesAvailable() <= 0)
        return;
    const QByteArray bytes = m_socket->readAll();
    if (m_target->scheme == NetworkTarget::Scheme::Socket) {
        m_buffer += bytes;
        return;
    }
    handle(m_codec.decode(bytes));
    m_socket->flush();
}

void NetworkLink::onSocketReadyRead()
{
    if (!m_open)
        return;
    if (m_resting) {
        if (!m_wokeWhileResting) {
            m_wokeWhileResting = true;
            emit readyRead();
        }
        return;
    }
    drain();
    if (!m_buffer.isEmpty())
        emit readyRead();
}

void NetworkLink::onSocketGone()
{
    if (!m_alive)
        return;
    // Whatever came before the connection ended is still the device's.
    drain();
    m_alive = false;
    qCDebug(lcLink) << "connection lost:" << (m_socket ? m_socket->errorString() : QString());
    emit failed();
}

void NetworkLink::close()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_open = false;
    m_alive = false;
    m_negotiating = false;
    m_resting = false;
    m_wokeWhileResting = false;
    m_buffer.clear();
    m_dtr.reset();
    m_rts.reset();
    m_inputs.reset();
}

bool NetworkLink::isOpen() const
{
    return m_open;
}

bool NetworkLink::isAlive() const
{
    return m_open && m_alive && m_socket->state() == QAbstractSocket::ConnectedState;
}

qint64 NetworkLink::bytesAvailable() const
{
    if (!m_open)
        return 0;
    const_cast<NetworkLink *>(this)->drain();
    return m_buffer.size();
}

QByteArray NetworkLink::read(qint64 maxBytes)
{
    if (!m_open)
        return {};
    drain();
    m_wokeWhileResting = false;
    if (maxBytes >= m_buffer.size()) {
        QByteArray out;
        out.swap(m_buffer);
        return out;
    }
    QByteArray out = m_buffer.left(maxBytes);
    m_buffer.remove(0, maxBytes);
    return out;
}

bool NetworkLink::waitForReadyRead(int ms)
{
    if (!m_open)
        return false;
    QDeadlineTimer deadline(ms);
    for (;;) {
        drain();
        if (!m_buffer.isEmpty())
            return true;
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
            return false;
        if (deadline.hasExpired() || !m_socket->waitForReadyRead(int(deadline.remainingTime())))
            return m_socket->bytesAvailable() > 0 && (drain(), !m_buffer.isEmpty());
    }
}

void NetworkLink::write(QByteArrayView bytes)
{
    if (!m_open || !m_socket || bytes.isEmpty())
        return;
    if (m_target->scheme == NetworkTarget::Scheme::Socket)
        m_socket->write(bytes.data(), bytes.size());
    else
        m_socket->write(Rfc2217Codec::escape(bytes));
    m_socket->flush();
}

void NetworkLink::setResting(bool resting)
{
    m_resting = resting;
    if (!resting)
        m_wokeWhileResting = false;
}

void NetworkLink::sendControl(quint8 value)
{
    m_socket->write(Rfc2217Codec::setControl(value));
    m_socket->flush();
}

bool NetworkLink::setOutputs(const ModemLineChange &change)
{
    if (!m_open || m_target->scheme != NetworkTarget::Scheme::Rfc2217)
        return false;
    // Unconfirmed until the server answers: a server in front of a pseudo-terminal never
    // does, and that leaves the lines unknown rather than the port failed.
    if (change.dtr) {
        sendControl(*change.dtr ? comport::kDtrOn : comport::kDtrOff);
        m_dtr = m_target->ignoreSetControl ? change.dtr : std::nullopt;
    }
    if (change.rts) {
        sendControl(*change.rts ? comport::kRtsOn : comport::kRtsOff);
        m_rts = m_target->ignoreSetControl ? change.rts : std::nullopt;
    }
    return true;
}

std::optional<ModemOutputs> NetworkLink::outputs() const
{
    if (!m_open || !m_dtr || !m_rts)
        return std::nullopt;
    return ModemOutputs{*m_dtr, *m_rts};
}

std::optional<ModemInputs> NetworkLink::inputs() const
{
    if (!m_open)
        return std::nullopt;
    return m_inputs;
}

bool NetworkLink::setBreak(bool on)
{
    if (!m_open || m_target->scheme != NetworkTarget::Scheme::Rfc2217)
        return false;
    sendControl(on ? comport::kBreakOn : comport::kBreakOff);
    return true;
}

bool NetworkLink::lineSettingsFixedByServer() const
{
    return m_target && m_target->scheme == NetworkTarget::Scheme::Socket;
}

QByteArray NetworkLink::takeBanner()
{
    QByteArray out;
    out.swap(m_banner);
    return out;
}

} // namespace zorvane::serial::network
