#pragma once

#include "LineSettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <optional>

namespace zorvane::serial {

// The output lines the host drives.
struct ModemOutputs
{
    bool dtr = false;
    bool rts = false;
    friend bool operator==(const ModemOutputs &, const ModemOutputs &) = default;
};

// The output lines as far as each is known: a network port learns each line from the
// server's answer to its own change, so one may be known while the other is not.
struct KnownOutputs
{
    std::optional<bool> dtr;
    std::optional<bool> rts;
    friend bool operator==(const KnownOutputs &, const KnownOutputs &) = default;
};

// The input lines the device reports.
struct ModemInputs
{
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;
    friend bool operator==(const ModemInputs &, const ModemInputs &) = default;
};

// One step on the output lines: the lines named change together, the others stay.
struct ModemLineChange
{
    std::optional<bool> dtr;
    std::optional<bool> rts;
};

// Why an open failed, in the link's own terms; the serial unit adds the port number.
struct LinkError
{
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    // The system's or the server's own words.
    QString text;
    // The device or server was reached but would not take the line settings.
    bool settingsRefused = false;
};

// The thing bytes come from: a serial device on this machine, or a port another machine
// shares over the network. It opens one target at a time; reads never wait unless asked to.
class Link : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Link() override = default;

    // Opens the target (a device path, or a network address for a network link) with the
    // line settings; false with lastError() filled when it cannot be used.
    virtual bool open(const QString &target, const LineSettings &settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Whether the device or the connection is still there; false once it has gone.
    virtual bool isAlive() const = 0;
    virtual LinkError lastError() const = 0;

    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Waits up to `ms` for bytes to read; false on time-out or failure.
    virtual bool waitForReadyRead(int ms) = 0;
    // Queues the bytes and pushes them out without waiting for them to leave.
    virtual void write(QByteArrayView bytes) = 0;
    // While resting, bytes that arrive stay with the device or the socket and wake the
    // reader at most once, until the next read takes everything.
    virtual void setResting(bool resting) = 0;
    // While dozing, arriving bytes wake nobody at all: the reader comes back by its own timer
    // and takes them then, and its next read ends the doze. A link that cannot keep quiet
    // wakes the reader as while resting.
    virtual void setDozing(bool dozing) { Q_UNUSED(dozing); }

    // Modem lines. A link that cannot drive or read them answers false or nothing; the
    // windows then show the lines as unavailable rather than guess.
    virtual bool setOutputs(const ModemLineChange &change) = 0;
    virtual std::optional<ModemOutputs> outputs() const = 0;
    // Each output line on its own; by default both or neither, as outputs() tells them.
    virtual KnownOutputs knownOutputs() const
    {
        const std::optional<ModemOutputs> both = outputs();
        return both ? KnownOutputs{both->dtr, both->rts} : KnownOutputs{};
    }
    virtual std::optional<ModemInputs> inputs() const = 0;
    virtual bool setBreak(bool on) = 0;

signals:
    // Bytes arrived, or the link failed: a reader that stopped polling reads again.
    void readyRead();
    void failed();
    // The input lines changed (a link that learns of changes by itself, such as a network
    // port's notifications); local devices are polled instead.
    void inputsChanged();
    // What is known of the output lines changed by itself (a network port's server confirmed
    // a change).
    void outputsChanged();
};

} // namespace zorvane::serial
