#include "Rfc2217Codec.h"

namespace zorvane::serial::network {

using namespace telnet;

namespace {

// What this client does itself, and what it lets the server do. Echo is allowed because
// servers offer it to spare a terminal its local echo; the device's bytes are unchanged.
bool weSupport(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kComPortOption;
}

bool theySupport(quint8 option)
{
    return option == kBinary || option == kSuppressGoAhead || option == kEcho;
}

QByteArray bytesOf(std::initializer_list<quint8> values)
{
    QByteArray out;
    out.reserve(qsizetype(values.size()));
    for (const quint8 v : values)
        out.append(char(v));
    return out;
}

QByteArray verb(quint8 verb, quint8 option)
{
    return bytesOf({kIac, verb, option});
}

} // namespace

Rfc2217Codec::Rfc2217Codec() = default;

QByteArray Rfc2217Codec::greeting()
{
    m_localAsked[kBinary] = true;
    m_remoteAsked[kBinary] = true;
    m_localAsked[kComPortOption] = true;
    return verb(kWill, kBinary) + verb(kDo, kBinary) + verb(kWill, kComPortOption);
}

Decoded Rfc2217Codec::decode(QByteArrayView bytes)
{
    Decoded out;
    out.data.reserve(bytes.size());
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        switch (m_state) {
        case State::Data:
            if (byte == kIac)
                m_state = State::Iac;
            else
                out.data.append(c);
            break;
        case State::Iac:
            out.sawCommand = true;
            if (byte == kIac) {
                out.data.append(c);
                m_state = State::Data;
            } else if (byte >= kWill && byte <= kDont) {
                m_verb = byte;
                m_state = State::Verb;
            } else if (byte == kSb) {
                m_state = State::SubOption;
            } else {
                // NOP, go-ahead and the other one-byte commands carry nothing for a port.
                m_state = State::Data;
            }
            break;
        case State::Verb:
            onVerb(m_verb, byte, out);
            m_state = State::Data;
            break;
        case State::SubOption:
            m_subOption = byte;
            m_sub.clear();
            m_subOverflow = false;
            m_state = State::Sub;
            break;
        case State::Sub:
            if (byte == kIac) {
                m_state = State::SubIac;
            } else if (m_sub.size() < kMaxSubnegotiation) {
                m_sub.append(c);
            } else {
                m_subOverflow = true;
            }
            break;
        case State::SubIac:
            if (byte == kIac) {
                if (m_sub.size() < kMaxSubnegotiation)
                    m_sub.append(c);
                else
                    m_subOverflow = true;
                m_state = State::Sub;
            } else if (byte == kSe) {
                endSubnegotiation(out);
                m_state = State::Data;
            } else {
                // A command inside a subnegotiation ends it unfinished; the command counts.
                m_sub.clear();
                if (byte >= kWill && byte <= kDont) {
                    m_verb = byte;
                    m_state = State::Verb;
                } else if (byte == kSb) {
                    m_state = State::SubOption;
                } else {
                    m_state = State::Data;
                }
            }
            break;
        }
    }
    return out;
}

void Rfc2217Codec::onVerb(quint8 verbByte, quint8 option, Decoded &out)
{
    switch (verbByte) {
    case kDo:
        if (weSupport(option)) {
            if (!m_local[option] && !m_localAsked[option])
                out.reply += verb(kWill, option);
            m_local[option] = true;
        } else {
            out.reply += verb(kWont, option);
        }
        m_localAsked[option] = false;
        break;
    case kDont:
        if (m_local[option])
            out.reply += verb(kWont, option);
        if (option == kComPortOption && (m_local[option] || m_localAsked[option]))
            m_comPortRefused = true;
        m_local[option] = false;
        m_localAsked[option] = false;
        break;
    case kWill:
        if (theySupport(option)) {
            if (!m_remote[option] && !m_remoteAsked[option])
                out.reply += verb(kDo, option);
            m_remote[option] = true;
        } else {
            out.reply += verb(kDont, option);
        }
        m_remoteAsked[option] = false;
        break;
    case kWont:
        if (m_remote[option])
            out.reply += verb(kDont, option);
        m_remote[option] = false;
        m_remoteAsked[option] = false;
        break;
    }
}

void Rfc2217Codec::endSubnegotiation(Decoded &out)
{
    // A value cut short by the size cap is no value at all.
    if (m_subOption != kComPortOption || m_subOverflow || m_sub.isEmpty())
        return;
    const quint8 number = quint8(m_sub.at(0));
    if (number <= comport::kServerOffset)
        return;
    out.answers.append({quint8(number - comport::kServerOffset), m_sub.mid(1)});
}

QByteArray Rfc2217Codec::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size() + data.size() / 16);
    for (const char c : data) {
        out.append(c);
        if (quint8(c) == kIac)
            out.append(c);
    }
    return out;
}

QByteArray Rfc2217Codec::command(quint8 commandNumber, QByteArrayView value)
{
    QByteArray out = bytesOf({kIac, kSb, kComPortOption, commandNumber});
    out += escape(value);
    out += bytesOf({kIac, kSe});
    return out;
}

QByteArray Rfc2217Codec::expectedValue(quint8 commandNumber, const LineSettings &settings)
{
    switch (commandNumber) {
    case comport::kSetBaudRate: {
        const quint32 baud = quint32(settings.baudRate);
        return bytesOf({quint8(baud >> 24), quint8(baud >> 16), quint8(baud >> 8), quint8(baud)});
    }
    case comport::kSetDataSize:
        return QByteArray(1, char(settings.dataBits));
    case comport::kSetParity:
        // The option counts none, odd, even from 1.
        return QByteArray(1, char(settings.parity + 1));
    case comport::kSetStopSize:
        return QByteArray(1, char(settings.stopBits == 2 ? 2 : 1));
    case comport::kSetControl:
        return QByteArray(1, char(flowControlValue(settings.flowControl)));
    }
    return {};
}

QByteArray Rfc2217Codec::setBaudRate(quint32 baud)
{
    LineSettings settings;
    settings.baudRate = int(baud);
    return command(comport::kSetBaudRate, expectedValue(comport::kSetBaudRate, settings));
}

QByteArray Rfc2217Codec::setDataSize(int bits)
{
    return command(comport::kSetDataSize, QByteArray(1, char(bits)));
}

QByteArray Rfc2217Codec::setParity(int parity)
{
    LineSettings settings;
    settings.parity = parity;
    return command(comport::kSetParity, expectedValue(comport::kSetParity, settings));
}

QByteArray Rfc2217Codec::setStopSize(int stopBits)
{
    LineSettings settings;
    settings.stopBits = stopBits;
    return command(comport::kSetStopSize, expectedValue(comport::kSetStopSize, settings));
}

QByteArray Rfc2217Codec::setControl(quint8 value)
{
    return command(comport::kSetControl, QByteArray(1, char(value)));
}

QByteArray Rfc2217Codec::lineSettings(const LineSettings &settings)
{
    return setBaudRate(quint32(settings.baudRate)) + setDataSize(settings.dataBits) +
           setParity(settings.parity) + setStopSize(settings.stopBits) +
           setControl(flowControlValue(settings.flowControl));
}

quint8 Rfc2217Codec::flowControlValue(FlowControl flow)
{
    switch (flow) {
    case FlowControl::RtsCts:
        return comport::kHardwareFlowControl;
    case FlowControl::XonXoff:
        return comport::kXonXoffFlowControl;
    case FlowControl::None:
        break;
    }
    return comport::kNoFlowControl;
}

ModemInputs Rfc2217Codec::modemInputs(quint8 state)
{
    ModemInputs inputs;
    inputs.dcd = state & 0x80;
    inputs.ri = state & 0x40;
    inputs.dsr = state & 0x20;
    inputs.cts = state & 0x10;
    return inputs;
}

} // namespace zorvane::serial::network
