// Text lines and raw bytes, paced: each piece is written when the clock says so, and a text
// line may wait for the module's prompt before the next one leaves.
#include "transfer/PacedSender.h"

#include <cmath>

namespace zorvane::transfer {

PacedSender::PacedSender(Mode mode, QIODevice *data, qint64 size, const Pacing &pacing,
                         QByteArray lineEnd, Wire wire)
    : m_mode(mode), m_data(data), m_size(size), m_pacing(pacing), m_lineEnd(std::move(lineEnd)),
      m_wire(std::move(wire))
{
    if (m_pacing.lineBytesPerMs <= 0)
        m_pacing.lineBytesPerMs = Pacing().lineBytesPerMs;
}

qint64 PacedSender::wireMs(qint64 bytes) const
{
    return qint64(std::ceil(double(bytes) / m_pacing.lineBytesPerMs));
}

QByteArray PacedSender::start(qint64 nowMs)
{
    return nextPiece(nowMs);
}

bool PacedSender::readLine()
{
    if (m_fileBytesRead >= m_size || m_data->atEnd())
        return false;
    QByteArray line = m_data->readLine(kMaxLineBytes + 1);
    if (line.isEmpty())
        return false;
    m_fileBytesRead += line.size();
    ++m_lineNumber;
    // A line that fills the piece goes on in the next one, without a line end between.
    const bool whole = line.endsWith('\n') || m_data->atEnd();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    if (whole)
        line += m_lineEnd;
    m_line = std::move(line);
    m_lineAt = 0;
    return true;
}

QByteArray PacedSender::nextPiece(qint64 nowMs)
{
    if (state() != State::Running)
        return {};
    if (m_mode == Mode::TextLines) {
        if (m_lineAt >= m_line.size() && !readLine()) {
            m_deadlineMs = kNoDeadline;
            finish();
            return {};
        }
        const qsizetype length = m_pacing.characterDelayMs > 0 ? 1 : m_line.size() - m_lineAt;
        const QByteArray piece = m_line.mid(m_lineAt, length);
        m_lineAt += piece.size();
        if (m_lineAt < m_line.size())
            m_deadlineMs = nowMs + m_pacing.characterDelayMs;
        else
            lineSent(nowMs);
        return onWire(piece);
    }

    if (m_lineAt >= m_line.size()) {
        m_line = m_data->read(qMin(kMaxPieceBytes, m_size - m_bytesDone));
        m_lineAt = 0;
        if (m_line.isEmpty()) {
            m_deadlineMs = kNoDeadline;
            if (m_bytesDone < m_size)
                fail(QStringLiteral("the file could not be read"));
            else
                finish();
            return {};
        }
    }
    const qint64 carried =
        qBound<qint64>(1, qint64(m_pacing.lineBytesPerMs * double(kPieceMs)), kMaxPieceBytes);
    qsizetype length = m_pacing.characterDelayMs > 0 ? 1 : qsizetype(carried);
    length = qMin(length, m_line.size() - m_lineAt);
    if (m_pacing.lineDelayMs > 0) {
        const qsizetype newline = m_line.indexOf('\n', m_lineAt);
        if (newline >= 0 && newline < m_lineAt + length)
            length = newline - m_lineAt + 1;
    }
    const QByteArray piece = m_line.mid(m_lineAt, length);
    m_lineAt += length;
    m_bytesDone += length;
    if (m_pacing.lineDelayMs > 0 && piece.endsWith('\n'))
        m_deadlineMs = nowMs + m_pacing.lineDelayMs;
    else if (m_pacing.characterDelayMs > 0)
        m_deadlineMs = nowMs + m_pacing.characterDelayMs;
    else
        m_deadlineMs = nowMs + wireMs(length);
    if (m_bytesDone >= m_size) {
        m_deadlineMs = kNoDeadline;
        finish();
    }
    // Raw means raw: no framing, whatever the mode.
    return piece;
}

void PacedSender::lineSent(qint64 nowMs)
{
    m_bytesDone = m_fileBytesRead;
    const qint64 lineBytes = m_line.size();
    m_line.clear();
    m_lineAt = 0;
    if (m_fileBytesRead >= m_size || m_data->atEnd()) {
        m_bytesDone = qMax(m_bytesDone, m_size);
        m_deadlineMs = kNoDeadline;
        finish();
        return;
    }
    if (!m_pacing.waitFor.isEmpty()) {
        m_waiting = true;
        m_seen.clear();
        m_deadlineMs = nowMs + kWaitForMs;
        return;
    }
    m_deadlineMs = nowMs + (m_pacing.lineDelayMs > 0 ? m_pacing.lineDelayMs : wireMs(lineBytes));
}

QByteArray PacedSender::received(QByteArrayView bytes, qint64 nowMs)
{
    if (!m_waiting || state() != State::Running)
        return {};
    m_seen.append(bytes);
    if (!m_seen.contains(m_pacing.waitFor)) {
        // Only a prompt split across two reads needs what came before.
        m_seen = m_seen.right(m_pacing.waitFor.size() - 1);
        return {};
    }
    m_waiting = false;
    m_seen.clear();
    m_deadlineMs = nowMs + m_pacing.lineDelayMs;
    return m_pacing.lineDelayMs > 0 ? QByteArray() : nextPiece(nowMs);
}

QByteArray PacedSender::timePassed(qint64 nowMs)
{
    if (state() != State::Running || nowMs < m_deadlineMs)
        return {};
    if (m_waiting) {
        m_deadlineMs = kNoDeadline;
        fail(QStringLiteral("\"%1\" did not arrive within %2 s after line %3")
                 .arg(QString::fromLatin1(m_pacing.waitFor))
                 .arg(kWaitForMs / 1000)
                 .arg(m_lineNumber));
        return {};
    }
    return nextPiece(nowMs);
}

QByteArray PacedSender::cancel(qint64 nowMs)
{
    Q_UNUSED(nowMs);
    if (state() != State::Running)
        return {};
    m_deadlineMs = kNoDeadline;
    fail(QStringLiteral("cancelled"));
    return {};
}

} // namespace zorvane::transfer
