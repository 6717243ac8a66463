#pragma once

#include "transfer/Sender.h"

#include <QIODevice>

#include <functional>

namespace zorvane::transfer {

// How a paced send spaces what it writes. Times in ms; 0 means no pause of that kind.
struct Pacing
{
    int characterDelayMs = 0;
    int lineDelayMs = 0;
    // Text lines only: the next line leaves once this text arrived (empty: do not wait).
    QByteArray waitFor;
    // What the line takes without any delay: the rate the port's line carries, so a file
    // is not piled up in the port's buffer faster than it leaves.
    double lineBytesPerMs = 11.52;
};

// Sends a file with no protocol: as text lines, each closed by the port's line end (and
// framed, in the multiplexing mode, by `wire`), or as raw bytes. Pauses between characters and
// after lines, and the wait for a prompt, are counted on the caller's clock.
class PacedSender final : public Sender
{
public:
    enum class Mode { TextLines, Raw };
    // A prompt that has not come after this long ends the send.
    static constexpr qint64 kWaitForMs = 10'000;
    // A line longer than this is sent in pieces of it (no line end in between).
    static constexpr qint64 kMaxLineBytes = 64 * 1024;
    // Raw bytes without a character delay go out in pieces of at most this much.
    static constexpr qint64 kMaxPieceBytes = 4096;
    // Without a delay, the pieces leave this often, each as big as the line carries meanwhile.
    static constexpr qint64 kPieceMs = 10;

    // `wire` turns a line's bytes (with the line end) into what goes on the wire.
    using Wire = std::function<QByteArray(QByteArrayView)>;

    PacedSender(Mode mode, QIODevice *data, qint64 size, const Pacing &pacing,
                QByteArray lineEnd = QByteArrayLiteral("\r"), Wire wire = {});

    QByteArray start(qint64 nowMs) override;
    QByteArray received(QByteArrayView bytes, qint64 nowMs) override;
    QByteArray timePassed(qint64 nowMs) override;
    QByteArray cancel(qint64 nowMs) override;
    qint64 deadlineMs() const override { return m_deadlineMs; }
    // The terminal goes on showing what arrives.
    bool takesReceivedBytes() const override { return false; }

private:
    QByteArray nextPiece(qint64 nowMs);
    bool readLine();
    QByteArray onWire(QByteArrayView bytes) const
    {
        return m_wire ? m_wire(bytes) : bytes.toByteArray();
    }
    qint64 wireMs(qint64 bytes) const;
    void lineSent(qint64 nowMs);

    Mode m_mode;
    QIODevice *m_data;
    qint64 m_size;
    Pacing m_pacing;
    QByteArray m_lineEnd;
    Wire m_wire;
    // The line being sent, with its line end, and how much of it has gone.
    QByteArray m_line;
    qsizetype m_lineAt = 0;
    // File bytes of the lines read so far.
    qint64 m_fileBytesRead = 0;
    qint64 m_lineNumber = 0;
    bool m_waiting = false;
    // The tail of what arrived while waiting, long enough to hold the prompt split in two.
    QByteArray m_seen;
    qint64 m_deadlineMs = kNoDeadline;
};

} // namespace zorvane::transfer
