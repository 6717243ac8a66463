// The XMODEM family's sending side: one block in flight, answered by ACK or NAK, time-outs
// measured on the caller's clock, and the batch framing YMODEM adds around the file.
#include "transfer/XmodemSender.h"

namespace zorvane::transfer {

namespace {
constexpr int kSmallBlock = 128;
constexpr int kLargeBlock = 1024;
// A tail this short goes in small blocks: less padding for a few more round trips.
constexpr qint64 kLargeBlockFrom = 7 * kSmallBlock;

QByteArray cancelBytes()
{
    return QByteArray(2, XmodemSender::kCan);
}

QString seconds(qint64 ms)
{
    return QString::number(ms / 1000);
}
} // namespace

XmodemSender::XmodemSender(XmodemVariant variant, QIODevice *data, qint64 size, const QString &name)
    : m_variant(variant), m_data(data), m_size(size), m_name(name)
{}

quint16 XmodemSender::crc16(QByteArrayView bytes)
{
    quint16 crc = 0;
    for (const char c : bytes) {
        crc ^= quint16(quint8(c)) << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? quint16((crc << 1) ^ 0x1021) : quint16(crc << 1);
    }
    return crc;
}

QByteArray XmodemSender::block(quint8 number, QByteArrayView data, int blockSize, bool crc,
                               char pad)
{
    QByteArray out;
    out.reserve(blockSize + 5);
    out.append(blockSize == kLargeBlock ? kStx : kSoh);
    out.append(char(number));
    out.append(char(quint8(~number)));
    const qsizetype payloadAt = out.size();
    out.append(data.first(qMin<qsizetype>(data.size(), blockSize)));
    out.append(blockSize - (out.size() - payloadAt), pad);
    const QByteArrayView payload = QByteArrayView(out).sliced(payloadAt, blockSize);
    if (crc) {
        const quint16 sum = crc16(payload);
        out.append(char(sum >> 8));
        out.append(char(sum & 0xFF));
    } else {
        quint8 sum = 0;
        for (const char c : payload)
            sum = quint8(sum + quint8(c));
        out.append(char(sum));
    }
    return out;
}

QByteArray XmodemSender::ymodemHeader(const QString &name, qint64 size)
{
    if (name.isEmpty())
        return {};
    QByteArray header = name.toUtf8();
    header.append('\0');
    header.append(QByteArray::number(size));
    return header;
}

QByteArray XmodemSender::start(qint64 nowMs)
{
    m_lastAnswerMs = nowMs;
    m_lastSendMs = nowMs;
    m_phase = Phase::WaitStart;
    return {};
}

qint64 XmodemSender::deadlineMs() const
{
    switch (m_phase) {
    case Phase::Over:
        return kNoDeadline;
    case Phase::WaitStart:
        return m_lastAnswerMs + kStartWaitMs;
    case Phase::Cancelling:
        return m_cancelDeadlineMs;
    case Phase::WaitDataStart:
    case Phase::WaitCloseStart:
        return m_lastAnswerMs + kSilenceMs;
    default:
        return qMin(m_lastAnswerMs + kSilenceMs, m_lastSendMs + kResendMs);
    }
}

QByteArray XmodemSender::received(QByteArrayView bytes, qint64 nowMs)
{
    QByteArray out;
    for (const char byte : bytes) {
        if (m_phase == Phase::Over)
            break;
        out += onByte(byte, nowMs);
    }
    return out;
}

QByteArray XmodemSender::onByte(char byte, qint64 nowMs)
{
    if (m_phase == Phase::Cancelling)
        return cancelled();
    // One CAN may be line noise; two in a row are the receiver giving up.
    if (byte == kCan) {
        if (m_sawCan) {
            m_phase = Phase::Over;
            fail(QStringLiteral("the receiver cancelled"));
        }
        m_sawCan = true;
        return {};
    }
    m_sawCan = false;
    const bool start = byte == kCrcStart || byte == kNak;
    if (byte == kAck || start)
        m_lastAnswerMs = nowMs;

    switch (m_phase) {
    case Phase::WaitStart:
        if (!start)
            return {};
        m_crc = byte == kCrcStart;
        if (m_variant != XmodemVariant::Ymodem)
            return m_size > 0 ? sendNextBlock(nowMs) : sendEot(nowMs);
        m_blockIndex = 0;
        m_inFlightData = 0;
        m_phase = Phase::WaitHeaderAnswer;
        {
            const QByteArray header = ymodemHeader(m_name, m_size);
            const int size = header.size() > kSmallBlock ? kLargeBlock : kSmallBlock;
            return sent(block(0, header, size, m_crc, '\0'), nowMs);
        }
    case Phase::WaitHeaderAnswer:
        if (byte == kAck) {
            m_phase = Phase::WaitDataStart;
            return {};
        }
        // A 'C' here is one the receiver sent before the header reached it.
        return byte == kNak ? refused(nowMs) : QByteArray();
    case Phase::WaitDataStart:
        if (!start)
            return {};
        return m_size > 0 ? sendNextBlock(nowMs) : sendEot(nowMs);
    case Phase::WaitBlockAnswer:
        if (byte == kAck) {
            m_bytesDone += m_inFlightData;
            ++m_number;
            return m_bytesDone < m_size ? sendNextBlock(nowMs) : sendEot(nowMs);
        }
        return byte == kNak ? refused(nowMs) : QByteArray();
    case Phase::WaitEotAnswer:
        if (byte == kAck) {
            if (m_variant != XmodemVariant::Ymodem) {
                m_phase = Phase::Over;
                finish();
            } else {
                m_phase = Phase::WaitCloseStart;
            }
            return {};
        }
        // Some receivers ask for the EOT twice, to be sure it was no noise.
        return byte == kNak ? refused(nowMs) : QByteArray();
    case Phase::WaitCloseStart:
        if (!start)
            return {};
        m_phase = Phase::WaitCloseAnswer;
        m_blockIndex = 0;
        return sent(block(0, {}, kSmallBlock, m_crc, '\0'), nowMs);
    case Phase::WaitCloseAnswer:
        if (byte == kAck) {
            m_phase = Phase::Over;
            finish();
            return {};
        }
        return byte == kNak ? refused(nowMs) : QByteArray();
    case Phase::Cancelling:
    case Phase::Over:
        break;
    }
    return {};
}

int XmodemSender::blockSizeFor(qint64 remaining) const
{
    if (m_variant == XmodemVariant::Xmodem || !m_crc)
        return kSmallBlock;
    return remaining > kLargeBlockFrom ? kLargeBlock : kSmallBlock;
}

QByteArray XmodemSender::sendNextBlock(qint64 nowMs)
{
    const qint64 remaining = m_size - m_bytesDone;
    const int size = blockSizeFor(remaining);
    const qint64 want = qMin<qint64>(remaining, size);
    const QByteArray data = m_data->read(want);
    if (data.size() != want) {
        m_phase = Phase::Over;
        fail(QStringLiteral("the file could not be read"));
        return cancelBytes();
    }
    m_phase = Phase::WaitBlockAnswer;
    m_inFlightData = want;
    m_refusals = 0;
    ++m_blockIndex;
    return sent(block(m_number, data, size, m_crc), nowMs);
}

QByteArray XmodemSender::sendEot(qint64 nowMs)
{
    m_phase = Phase::WaitEotAnswer;
    m_refusals = 0;
    return sent(QByteArray(1, kEot), nowMs);
}

QByteArray XmodemSender::sent(QByteArray bytes, qint64 nowMs)
{
    m_lastSendMs = nowMs;
    m_inFlight = bytes;
    return bytes;
}

QByteArray XmodemSender::refused(qint64 nowMs)
{
    if (++m_refusals >= kMaxRefusals) {
        m_phase = Phase::Over;
        fail(m_inFlight.size() == 1
                 ? QStringLiteral("the end of the file refused %1 times").arg(kMaxRefusals)
                 : QStringLiteral("block %1 refused %2 times").arg(m_blockIndex).arg(kMaxRefusals));
        return cancelBytes();
    }
    return resend(nowMs);
}

QByteArray XmodemSender::resend(qint64 nowMs)
{
    return sent(m_inFlight, nowMs);
}

QByteArray XmodemSender::timePassed(qint64 nowMs)
{
    if (m_phase == Phase::Over)
        return {};
    if (m_phase == Phase::Cancelling)
        return nowMs >= m_cancelDeadlineMs ? cancelled() : QByteArray();
    if (m_phase == Phase::WaitStart) {
        if (nowMs - m_lastAnswerMs < kStartWaitMs)
            return {};
        m_phase = Phase::Over;
        fail(QStringLiteral("no answer for %1 s").arg(seconds(kStartWaitMs)));
        return cancelBytes();
    }
    if (nowMs - m_lastAnswerMs >= kSilenceMs) {
        m_phase = Phase::Over;
        fail(QStringLiteral("no answer for %1 s").arg(seconds(kSilenceMs)));
        return cancelBytes();
    }
    const bool waitsForBlockAnswer =
        m_phase == Phase::WaitHeaderAnswer || m_phase == Phase::WaitBlockAnswer ||
        m_phase == Phase::WaitEotAnswer || m_phase == Phase::WaitCloseAnswer;
    // The block or its answer was lost on the line: once more, before the receiver gives up.
    if (waitsForBlockAnswer && nowMs - m_lastSendMs >= kResendMs)
        return resend(nowMs);
    return {};
}

QByteArray XmodemSender::cancel(qint64 nowMs)
{
    if (state() != State::Running || m_phase == Phase::Cancelling)
        return {};
    const bool blockInFlight = m_phase == Phase::WaitHeaderAnswer ||
                               m_phase == Phase::WaitBlockAnswer ||
                               m_phase == Phase::WaitEotAnswer || m_phase == Phase::WaitCloseAnswer;
    if (!blockInFlight)
        return cancelled();
    m_phase = Phase::Cancelling;
    m_cancelDeadlineMs = nowMs + kCancelWaitMs;
    return {};
}

QByteArray XmodemSender::cancelled()
{
    m_phase = Phase::Over;
    fail(QStringLiteral("cancelled"));
    return cancelBytes();
}

} // namespace zorvane::transfer
