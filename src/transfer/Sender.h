#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <limits>

namespace zorvane::transfer {

// One way of sending a file, as a state machine: it is fed the receiver's bytes and the time
// (in ms on any steady clock) and answers with the bytes to write to the port. It never
// waits and never touches a port or a timer itself, so it runs the same on bytes in a test.
class Sender
{
public:
    enum class State { Running, Done, Failed };
    static constexpr qint64 kNoDeadline = std::numeric_limits<qint64>::max();

    virtual ~Sender() = default;

    virtual QByteArray start(qint64 nowMs) = 0;
    virtual QByteArray received(QByteArrayView bytes, qint64 nowMs) = 0;
    // Called at or after deadlineMs(): a time-out, a retry or the next paced piece.
    virtual QByteArray timePassed(qint64 nowMs) = 0;
    // The user gives up: the bytes that tell the receiver so; nothing follows them. A sender
    // may hold them back for a moment (until the receiver is listening), still running.
    virtual QByteArray cancel(qint64 nowMs) = 0;
    // When timePassed() is next due.
    virtual qint64 deadlineMs() const = 0;
    // Whether received bytes belong to the transfer rather than to the terminal.
    virtual bool takesReceivedBytes() const = 0;

    State state() const { return m_state; }
    // Why it failed, in words for the terminal list.
    QString failure() const { return m_failure; }
    // File bytes the receiver has (acknowledged, or written for unacknowledged methods).
    qint64 bytesDone() const { return m_bytesDone; }

protected:
    void fail(const QString &why)
    {
        m_state = State::Failed;
        m_failure = why;
    }
    void finish() { m_state = State::Done; }

    qint64 m_bytesDone = 0;

private:
    State m_state = State::Running;
    QString m_failure;
};

} // namespace zorvane::transfer
