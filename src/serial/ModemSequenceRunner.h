#pragma once

#include "ModemSequence.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace zorvane::serial {

// Plays modem-line steps against a link without holding up the event loop: the changes
// between two pauses are made at once, each pause is a precise single-shot timer. One run at
// a time; a break left on by a run that stops early is switched off again.
class ModemSequenceRunner : public QObject
{
    Q_OBJECT
public:
    explicit ModemSequenceRunner(QObject *parent = nullptr);
    ~ModemSequenceRunner() override;

    // Starts the steps on an open link; false, doing nothing, while a run is going on or
    // when there is no open link.
    bool start(Link *link, ModemSteps steps);
    // Stops a run, releasing a break it holds; finished(false) follows.
    void abort();
    bool isRunning() const { return m_running; }

signals:
    // The run ended: ok when every step was taken by the link.
    void finished(bool ok);

private:
    void runUntilPause();
    void end(bool ok);

    QPointer<Link> m_link;
    ModemSteps m_steps;
    std::size_t m_next = 0;
    QTimer m_pause;
    bool m_running = false;
    bool m_breakOn = false;
};

} // namespace zorvane::serial
