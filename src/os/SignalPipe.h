#pragma once

#include <QObject>

#include <initializer_list>
#include <iterator>

class QSocketNotifier;

namespace zorvane::os {

// Turns termination signals into a Qt signal from the event loop: the handler only writes a
// byte to a socket pair, which a notifier reads. One instance at a time.
class SignalPipe : public QObject
{
    Q_OBJECT
public:
    // How a caught signal is handled the next time: again through the pipe, or by the
    // system's default action, so a program that hangs while closing still ends.
    enum class Repeat { ThroughPipe, DefaultAction };

    SignalPipe(std::initializer_list<int> caughtSignals, Repeat repeat, QObject *parent = nullptr);
    ~SignalPipe() override;
    // Whether the pipe and the handlers are in place.
    bool isValid() const { return m_notifier != nullptr; }

signals:
    void caught();
    // The same news with the signal's number (the last one caught, when several came).
    void caughtSignal(int signalNumber);

private:
    void drain();

    QSocketNotifier *m_notifier = nullptr;
    int m_fds[2] = {-1, -1};
    int m_signals[8] = {};
    int m_signalCount = 0;
};

} // namespace zorvane::os
