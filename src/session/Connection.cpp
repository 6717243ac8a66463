#include "session/Connection.h"

#include "serial/AdapterLookup.h"
#include "serial/LinkFactory.h"
#include "serial/OpenFailure.h"
#include "serial/PortNames.h"

#include <QScopeGuard>

#include <utility>

namespace zorvane::session {

using serial::SerialIo;

Connection::Connection(SerialIo &serial, QObject *parent) : QObject(parent), m_serial(serial)
{
    m_serial.setOpenFinished([this](bool held) { openEnded(held); });
}

Connection::~Connection()
{
    m_serial.setOpenFinished({});
}

void Connection::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void Connection::repairRanges()
{
    // Only a damaged settings file hands over values outside these ranges.
    if (port() < 0 || port() > serial::kPortCount)
        setPort(0);
    if (m_settings.parity < 0 || m_settings.parity > 2)
        m_settings.parity = 0;
    // The device runs 8 data bits and 1 stop bit for any other count; say so.
    if (m_settings.dataBits != 7 && m_settings.dataBits != 8)
        m_settings.dataBits = 8;
    if (m_settings.stopBits != 1 && m_settings.stopBits != 2)
        m_settings.stopBits = 1;
}

void Connection::openPort(int port, OpenKind kind)
{
    setPort(port);
    repairRanges();
    emit portChosen();
    if (this->port() == 0) {
        giveUpOpen();
        setState(State::NoPort);
        emit noPort();
        return;
    }

    const int chosen = this->port();
    giveUpOpen();
    m_serial.c_close();
    setPort(chosen);
    setLastPort(chosen);
    m_kind = kind;
    setState(State::Opening);
    switch (m_serial.beginOpen(chosen, m_settings, kind)) {
    case serial::Link::OpenStart::Opened:
        openEnded(true);
        break;
    case serial::Link::OpenStart::Failed:
        openEnded(false);
        break;
    case serial::Link::OpenStart::Pending:
        break;
    }
}

void Connection::openEnded(bool held)
{
    const auto runNext = qScopeGuard([this] {
        if (auto then = std::exchange(m_afterOpen, {}))
            then();
    });
    if (held) {
        setState(State::Open);
        emit opened();
        return;
    }
    const QString reason = serial::explainOpenFailure(
        m_serial.lastOpenFailure(), m_kind == OpenKind::Chosen ? portsWithDevice() : QStringList());
    setPort(0);
    // A port that failed its quiet reopening is still counted down to the next one.
    setState(m_kind == OpenKind::QuietReopen ? State::Lost : State::NoPort);
    emit openFailed(reason);
}

void Connection::reopenQuietly()
{
    if (m_state == State::Opening)
        return;
    openPort(lastPort(), OpenKind::QuietReopen);
}

void Connection::afterOpenEnds(std::function<void()> then)
{
    if (m_state == State::Opening)
        m_afterOpen = std::move(then);
    else
        then();
}

void Connection::giveUpOpen()
{
    m_afterOpen = {};
    if (!m_serial.isOpening())
        return;
    m_serial.cancelOpen();
    setPort(0);
}

void Connection::close()
{
    setLastPort(port());
    giveUpOpen();
    m_serial.c_close();
    setState(State::NoPort);
}

std::array<bool, serial::kPortCount + 1> Connection::probePorts()
{
    if (m_state == State::Opening) {
        giveUpOpen();
        setState(State::NoPort);
    }
    std::array<bool, serial::kPortCount + 1> present{};
    for (int port = 1; port <= serial::kPortCount; ++port) {
        if (!serial::probedByAutoDetect(serial::port_names(port, m_serial.documentsFolder()))) {
            present[static_cast<size_t>(port)] = true;
        } else if (m_serial.c_open(port, m_settings.baudRate, 8, 0, 1)) {
            present[static_cast<size_t>(port)] = true;
            m_serial.c_close();
        }
    }
    return present;
}

QStringList Connection::portsWithDevice() const
{
    const serial::AdapterLookup adapters;
    QStringList ports;
    for (int port = 1; port <= serial::kPortCount; ++port) {
        const QString device = serial::port_names(port, m_serial.documentsFolder());
        if (adapters.lookUp(device).present)
            ports << QStringLiteral("%1 (%2)").arg(serial::portName(port), device);
    }
    return ports;
}

void Connection::linkLost()
{
    setState(State::Lost);
}

void Connection::countdown(double seconds)
{
    // While a network port opens, its outcome is what the user waits for, not a countdown.
    if (m_state != State::Opening)
        emit countdownSecond(seconds);
}

} // namespace zorvane::session
