#pragma once

#include "serial/LineSettings.h"
#include "serial/Link.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <array>
#include <optional>

namespace zorvane::serial::network {

// Telnet bytes and the com-port option's command numbers (the client's numbers; a server's
// answer carries the same number plus kServerOffset).
namespace telnet {
constexpr quint8 kIac = 255;
constexpr quint8 kDont = 254;
constexpr quint8 kDo = 253;
constexpr quint8 kWont = 252;
constexpr quint8 kWill = 251;
constexpr quint8 kSb = 250;
constexpr quint8 kSe = 240;

constexpr quint8 kBinary = 0;
constexpr quint8 kEcho = 1;
constexpr quint8 kSuppressGoAhead = 3;
constexpr quint8 kComPortOption = 44;
} // namespace telnet

namespace comport {
constexpr quint8 kServerOffset = 100;
constexpr quint8 kSetBaudRate = 1;
constexpr quint8 kSetDataSize = 2;
constexpr quint8 kSetParity = 3;
constexpr quint8 kSetStopSize = 4;
constexpr quint8 kSetControl = 5;
constexpr quint8 kNotifyLineState = 6;
constexpr quint8 kNotifyModemState = 7;
constexpr quint8 kSetModemStateMask = 11;

// SET-CONTROL values.
constexpr quint8 kNoFlowControl = 1;
constexpr quint8 kXonXoffFlowControl = 2;
constexpr quint8 kHardwareFlowControl = 3;
constexpr quint8 kBreakOn = 5;
constexpr quint8 kBreakOff = 6;
constexpr quint8 kDtrOn = 8;
constexpr quint8 kDtrOff = 9;
constexpr quint8 kRtsOn = 11;
constexpr quint8 kRtsOff = 12;
} // namespace comport

// One answer or notification of the server's com-port option, its number brought back to
// the client's (SET-BAUDRATE's answer is kSetBaudRate).
struct ComPortAnswer
{
    quint8 command = 0;
    QByteArray value;
    friend bool operator==(const ComPortAnswer &, const ComPortAnswer &) = default;
};

// What one batch of received bytes held.
struct Decoded
{
    // The device's bytes, IAC IAC brought back to one 0xFF.
    QByteArray data;
    // Option negotiation the client owes the server, to send as it is.
    QByteArray reply;
    QList<ComPortAnswer> answers;
    // A telnet command of any kind came: the server speaks telnet.
    bool sawCommand = false;
};

// The client side of telnet with the com-port option, on bytes alone: splits what the server
// sends into device data, option negotiation and com-port answers, and builds what the client
// sends. Received bytes may be split anywhere; the state between batches is kept here.
class Rfc2217Codec
{
public:
    Rfc2217Codec();

    // What the client says as soon as it is connected: binary both ways, and that it will
    // use the com-port option.
    QByteArray greeting();
    Decoded decode(QByteArrayView bytes);

    // The server agreed to (DO) or refused (DONT) the com-port option.
    bool comPortAccepted() const { return m_local[telnet::kComPortOption]; }
    bool comPortRefused() const { return m_comPortRefused; }
    // Binary transmission agreed in each direction.
    bool binaryToServer() const { return m_local[telnet::kBinary]; }
    bool binaryFromServer() const { return m_remote[telnet::kBinary]; }

    // Device bytes for the wire: each 0xFF doubled.
    static QByteArray escape(QByteArrayView data);
    // One com-port command with its value, the value's 0xFF bytes doubled.
    static QByteArray command(quint8 command, QByteArrayView value);
    static QByteArray setBaudRate(quint32 baud);
    static QByteArray setDataSize(int bits);
    static QByteArray setParity(int parity);
    static QByteArray setStopSize(int stopBits);
    static QByteArray setControl(quint8 value);
    // The SET-CONTROL value that asks for a flow control in both directions.
    static quint8 flowControlValue(FlowControl flow);
    // The four line settings and the flow control, in the order the server is asked for them.
    static QByteArray lineSettings(const LineSettings &settings);
    // The value the server should answer each of those commands with (SET-CONTROL: the
    // flow control's).
    static QByteArray expectedValue(quint8 command, const LineSettings &settings);
    // The input lines in a NOTIFY-MODEMSTATE value.
    static ModemInputs modemInputs(quint8 state);

private:
    enum class State { Data, Iac, Verb, SubOption, Sub, SubIac };

    void onVerb(quint8 verb, quint8 option, Decoded &out);
    void endSubnegotiation(Decoded &out);

    static constexpr qsizetype kMaxSubnegotiation = 64;

    State m_state = State::Data;
    quint8 m_verb = 0;
    quint8 m_subOption = 0;
    QByteArray m_sub;
    bool m_subOverflow = false;
    // Options on at this end (we WILL), at the server's (they WILL), and those asked for and
    // not yet answered, so an answer is never answered again.
    std::array<bool, 256> m_local{};
    std::array<bool, 256> m_remote{};
    std::array<bool, 256> m_localAsked{};
    std::array<bool, 256> m_remoteAsked{};
    bool m_comPortRefused = false;
};

} // namespace zorvane::serial::network
