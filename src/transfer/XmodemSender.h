#pragma once

#include "transfer/Sender.h"

#include <QIODevice>

namespace zorvane::transfer {

// The XMODEM family: 128-byte blocks with a CRC (or a checksum when the receiver asks with NAK),
// XMODEM-1K's 1024-byte blocks, and YMODEM's batch with a header block naming the file and
// its size and an empty header closing the batch.
enum class XmodemVariant { Xmodem, Xmodem1K, Ymodem };

// Sends one file with a protocol of the XMODEM family: waits for the receiver's start, sends
// each block until acknowledged, closes with the EOT handshake; cancels with CAN CAN.
class XmodemSender final : public Sender
{
public:
    static constexpr char kSoh = 0x01;
    static constexpr char kStx = 0x02;
    static constexpr char kEot = 0x04;
    static constexpr char kAck = 0x06;
    static constexpr char kNak = 0x15;
    static constexpr char kCan = 0x18;
    static constexpr char kCrcStart = 'C';
    static constexpr char kPad = 0x1A;

    // A receiver is given this long to show up: it is often started after the sender.
    static constexpr qint64 kStartWaitMs = 60'000;
    // A block not answered within this is sent again (the answer may have been lost)...
    static constexpr qint64 kResendMs = 5'000;
    // ... and a receiver silent for this long has gone.
    static constexpr qint64 kSilenceMs = 10'000;
    // A cancel waits this long at most for the answer to the block in flight: CANs that
    // arrive inside a block are taken as its data, or thrown away with the receiver's input.
    static constexpr qint64 kCancelWaitMs = 1'000;
    // Refusals of one block before giving up.
    static constexpr int kMaxRefusals = 10;

    // `data` is read block by block from its current position; `size` bytes are sent, and
    // `name` and `size` go into YMODEM's header.
    XmodemSender(XmodemVariant variant, QIODevice *data, qint64 size, const QString &name);

    QByteArray start(qint64 nowMs) override;
    QByteArray received(QByteArrayView bytes, qint64 nowMs) override;
    QByteArray timePassed(qint64 nowMs) override;
    QByteArray cancel(qint64 nowMs) override;
    qint64 deadlineMs() const override;
    bool takesReceivedBytes() const override { return true; }

    // The CRC-16 of XMODEM (polynomial 0x1021, start 0, not reflected).
    static quint16 crc16(QByteArrayView bytes);
    // One block on the wire: header, number, its complement, data padded, CRC or checksum.
    static QByteArray block(quint8 number, QByteArrayView data, int blockSize, bool crc,
                            char pad = kPad);
    // YMODEM's header block 0 data: the name, NUL, the size in decimal; empty closes a batch.
    static QByteArray ymodemHeader(const QString &name, qint64 size);

private:
    enum class Phase {
        WaitStart, // for 'C' or NAK before the first block (or the header)
        WaitHeaderAnswer,
        WaitDataStart, // YMODEM: the receiver's 'C' after it took the header
        WaitBlockAnswer,
        WaitEotAnswer,
        WaitCloseStart, // YMODEM: 'C' before the closing empty header
        WaitCloseAnswer,
        Cancelling, // the user gave up: CAN CAN once the block in flight is answered
        Over
    };

    QByteArray onByte(char byte, qint64 nowMs);
    QByteArray sendNextBlock(qint64 nowMs);
    QByteArray sendEot(qint64 nowMs);
    QByteArray resend(qint64 nowMs);
    QByteArray refused(qint64 nowMs);
    QByteArray cancelled();
    QByteArray sent(QByteArray bytes, qint64 nowMs);
    int blockSizeFor(qint64 remaining) const;

    XmodemVariant m_variant;
    QIODevice *m_data;
    qint64 m_size;
    QString m_name;
    Phase m_phase = Phase::WaitStart;
    bool m_crc = true;
    quint8 m_number = 1;
    // The block in flight, as written, for resending; and the file bytes it carries.
    QByteArray m_inFlight;
    qint64 m_inFlightData = 0;
    int m_refusals = 0;
    // Block number for messages: counted from 1 over the whole file, 0 for headers.
    qint64 m_blockIndex = 0;
    qint64 m_lastAnswerMs = 0;
    qint64 m_lastSendMs = 0;
    bool m_sawCan = false;
    qint64 m_cancelDeadlineMs = 0;
};

} // namespace zorvane::transfer
