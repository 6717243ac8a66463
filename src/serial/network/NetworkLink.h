#pragma once

#include "NetworkTarget.h"
#include "Rfc2217Codec.h"
#include "serial/Link.h"

#include <QAbstractSocket>
#include <QDeadlineTimer>

class QTcpSocket;

namespace zorvane::serial::network {

// A port another machine shares over TCP: rfc2217:// speaks telnet with the com-port option
// (line settings, modem lines), socket:// passes bytes unchanged. Opening connects, agrees
// the options and has the line settings confirmed before it returns.
class NetworkLink : public Link
{
    Q_OBJECT
public:
    explicit NetworkLink(QObject *parent = nullptr);
    ~NetworkLink() override;

    bool open(const QString &target, const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override;
    bool isAlive() const override;
    LinkError lastError() const override { return m_error; }

    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxBytes) override;
    bool waitForReadyRead(int ms) override;
    void write(QByteArrayView bytes) override;
    void setResting(bool resting) override;

    bool setOutputs(const ModemLineChange &change) override;
    std::optional<ModemOutputs> outputs() const override;
    KnownOutputs knownOutputs() const override;
    std::optional<ModemInputs> inputs() const override;
    bool setBreak(bool on) override;

    // The server fixes the line settings itself (socket://): they were not sent.
    bool lineSettingsFixedByServer() const;
    // Bytes the server sent before the options were agreed (a greeting or banner): text for
    // the user, never the device's data. Taken once.
    QByteArray takeBanner();

    // What ser2net's accepter must say for this client, for messages.
    static QString accepterHint();

private:
    bool fail(QSerialPort::SerialPortError error, const QString &text, bool settingsRefused);
    bool connectTo(const NetworkTarget &target);
    bool negotiate(const LineSettings &settings);
    // Moves what the socket holds through the codec into the read buffer.
    void drain();
    void handle(const Decoded &decoded);
    void sendControl(quint8 value);
    void onSocketReadyRead();
    void onSocketGone();

    QTcpSocket *m_socket = nullptr;
    std::optional<NetworkTarget> m_target;
    Rfc2217Codec m_codec;
    LinkError m_error;
    QByteArray m_buffer;
    QByteArray m_banner;
    bool m_open = false;
    bool m_alive = false;
    bool m_negotiating = false;
    bool m_resting = false;
    bool m_wokeWhileResting = false;
    // Line-setting answers still awaited while opening, with the values asked for.
    QList<ComPortAnswer> m_awaited;
    QList<ComPortAnswer> m_refusedAnswers;
    // The output lines as the server last confirmed them (or as set, when the target says
    // not to expect confirmations); unknown until then.
    std::optional<bool> m_dtr;
    std::optional<bool> m_rts;
    std::optional<ModemInputs> m_inputs;
};

} // namespace zorvane::serial::network
