#pragma once

#include "NetworkTarget.h"
#include "Rfc2217Codec.h"
#include "serial/Link.h"

#include <QAbstractSocket>
#include <QDeadlineTimer>
#include <QTimer>

class QTcpSocket;

namespace zorvane::serial::network {

// A port another machine shares over TCP: rfc2217:// speaks telnet with the com-port option
// (line settings, modem lines), socket:// passes bytes unchanged. Opening connects, agrees
// the options and has the line settings confirmed; startOpen does so in the background, driven
// by the socket's signals, so nothing waits for a server that is slow or never answers.
class NetworkLink : public Link
{
    Q_OBJECT
public:
    explicit NetworkLink(QObject *parent = nullptr);
    ~NetworkLink() override;

    bool open(const QString &target, const LineSettings &settings) override;
    OpenStart startOpen(const QString &target, const LineSettings &settings) override;
    bool waitForOpen() override;
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

    bool isRemote() const override { return true; }
    // The server fixes the line settings itself (socket://): they were not sent.
    bool lineSettingsFixedByServer() const override;
    // Bytes the server sent before the options were agreed (a greeting or banner): text for
    // the user, never the device's data. Taken once.
    QByteArray takeBanner() override;

    // What ser2net's accepter must say for this client, for messages.
    static QString accepterHint();

    // Received bytes read ahead of the reader, in the socket and decoded each: past this the
    // socket stops reading and TCP holds the server back, as a device's own buffer would.
    static constexpr qint64 kReadAheadBytes = 256 * 1024;
    // Text a server may send before the options are agreed: a greeting is a line or two, and
    // more is a device talking through a plain TCP accepter. Past it the open fails.
    static constexpr qsizetype kMaxGreetingBytes = 16 * 1024;
    // Negotiation answers not yet taken by a server that does not read: past this, further
    // answers are dropped rather than queued without end.
    static constexpr qint64 kMaxUnsentReplyBytes = 64 * 1024;

private:
    // Where a pending open stands.
    enum class Phase { Idle, Connecting, Agreeing };

    bool fail(QSerialPort::SerialPortError error, const QString &text, bool settingsRefused);
    // Ends a pending open that failed, and says so.
    void failOpen(QSerialPort::SerialPortError error, const QString &text, bool settingsRefused);
    void finishOpen();
    void onConnected();
    void onOpenError(QAbstractSocket::SocketError error);
    void onOpenTimeout();
    // Takes the server's answers while the options are agreed, as far as they have come.
    void agree();
    void restartOpenDeadline();
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
    Phase m_phase = Phase::Idle;
    // Connecting and each answer of the server while opening get the target's time-out; the
    // timer ends a pending open, the deadline a waiting one.
    QTimer m_openTimer;
    QDeadlineTimer m_openDeadline;
    LineSettings m_settings;
    bool m_settingsSent = false;
    bool m_heardTelnet = false;
    // Bytes read while the options are agreed, taken one at a time.
    QByteArray m_pending;
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
