#pragma once

#include "serial/LineSettings.h"
#include "serial/PortNames.h"
#include "serial/Serial_io.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace zorvane::session {

// Which port is open and with which line settings: choosing a port or a line setting closes
// the port and opens it again, values out of range are brought back, AutoDetect probes the
// port numbers, and a lost port is reopened quietly when the link check says so. A device on
// this machine opens at once; a network port opens in the background and its end is reported
// later, so nothing waits on the caller's thread. Everything a window shows comes from the
// signals.
class Connection : public QObject
{
    Q_OBJECT
public:
    enum class State {
        // No port is chosen, or the chosen one could not be opened.
        NoPort,
        // A network port's open is going on.
        Opening,
        Open,
        // The port went away; the link check counts down to its quiet reopening.
        Lost
    };
    Q_ENUM(State)
    using OpenKind = serial::SerialIo::OpenKind;

    explicit Connection(serial::SerialIo &serial, QObject *parent = nullptr);
    ~Connection() override;

    State state() const { return m_state; }
    // The port in use (0 none) and the port most recently opened or closed.
    int port() const { return m_serial.com_port; }
    int lastPort() const { return m_serial.last_com_port; }
    // Sets the numbers without opening anything: the settings file's port, the port to open.
    void setPort(int port) { m_serial.com_port = port; }
    void setLastPort(int port) { m_serial.last_com_port = port; }
    // How the open going on, or the last one, was asked for.
    OpenKind openKind() const { return m_kind; }

    serial::LineSettings lineSettings() const { return m_settings; }
    // The values take effect at the next open; a window's items call openPort after them.
    void setLineSettings(const serial::LineSettings &settings) { m_settings = settings; }
    void setBaudRate(int rate) { m_settings.baudRate = rate; }
    void setParity(int parity) { m_settings.parity = parity; }
    void setDataBits(int count) { m_settings.dataBits = count; }
    void setStopBits(int count) { m_settings.stopBits = count; }

    // Chooses port n and opens it with the line settings, closing the port in use first;
    // with 0 nothing is opened. Reports portChosen, then noPort, or opened or openFailed when
    // the open ends: at once for a device on this machine, later for a network port.
    void openPort(int port, OpenKind kind = OpenKind::Chosen);
    // The port in use again, after a change of its line settings.
    void reopen(OpenKind kind = OpenKind::Chosen) { openPort(port(), kind); }
    // The link check's quiet reopening of the last port; not while an open is going on.
    void reopenQuietly();
    // Closes the port in use, or gives up an open going on; the number becomes the last port.
    void close();
    // Runs `then` once the open going on has ended and been reported, or at once when none
    // is going on; an open given up never runs it.
    void afterOpenEnds(std::function<void()> then);

    // AutoDetect's probe: for each port number 1 to 100, whether it opens with 8N1 at the
    // baud rate (nothing is sent or read). A number pinned to a port that is not probed (a
    // network port: connecting to every server behind the list would cost seconds and wake
    // machines for nothing) counts as present. Gives up an open going on first.
    std::array<bool, serial::kPortCount + 1> probePorts();

    // "COM12 (/dev/ttyACM0)" for each number whose device is there now.
    QStringList portsWithDevice() const;

    // --- what the link check reports
    // The port was found gone.
    void linkLost();
    // A second of the countdown to the quiet reopening.
    void countdown(double seconds);

signals:
    void stateChanged(zorvane::session::Connection::State state);
    // A port was chosen (or chosen again): the port and the line settings in force, within
    // their ranges, are what the marks should show now.
    void portChosen();
    // Port 0 was chosen: no port is open, the last port is shown off line.
    void noPort();
    // The open of port() ended well.
    void opened();
    // The open of lastPort() failed; the reason in words a user can act on.
    void openFailed(const QString &reason);
    // The seconds until the next quiet reopening of the lost port.
    void countdownSecond(double seconds);

private:
    void repairRanges();
    void setState(State state);
    void openEnded(bool held);
    void giveUpOpen();

    serial::SerialIo &m_serial;
    serial::LineSettings m_settings{115200, 8, 0, 1};
    State m_state = State::NoPort;
    OpenKind m_kind = OpenKind::Chosen;
    std::function<void()> m_afterOpen;
};

} // namespace zorvane::session
