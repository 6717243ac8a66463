#include "ModemSequenceRunner.h"

namespace zorvane::serial {

ModemSequenceRunner::ModemSequenceRunner(QObject *parent) : QObject(parent)
{
    m_pause.setSingleShot(true);
    // A coarse timer may fire up to 5 % late, more than a 50 ms gap between line changes
    // can spare.
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, &ModemSequenceRunner::runUntilPause);
}

ModemSequenceRunner::~ModemSequenceRunner()
{
    if (m_running && m_breakOn && m_link && m_link->isOpen())
        m_link->setBreak(false);
}

bool ModemSequenceRunner::start(Link *link, ModemSteps steps)
{
    if (m_running || !link || !link->isOpen())
        return false;
    m_link = link;
    m_steps = std::move(steps);
    m_next = 0;
    m_running = true;
    m_breakOn = false;
    runUntilPause();
    return true;
}

void ModemSequenceRunner::abort()
{
    if (m_running)
        end(false);
}

void ModemSequenceRunner::runUntilPause()
{
    while (m_running && m_next < m_steps.size()) {
        if (!m_link || !m_link->isOpen()) {
            end(false);
            return;
        }
        const ModemStep &step = m_steps[m_next++];
        switch (step.kind) {
        case ModemStep::Kind::Pause:
            m_pause.start(step.ms);
            return;
        case ModemStep::Kind::Lines:
            if (!m_link->setOutputs(step.lines)) {
                end(false);
                return;
            }
            break;
        case ModemStep::Kind::Break:
            if (!m_link->setBreak(step.breakOn)) {
                end(false);
                return;
            }
            m_breakOn = step.breakOn;
            break;
        }
    }
    if (m_running)
        end(true);
}

void ModemSequenceRunner::end(bool ok)
{
    m_pause.stop();
    if (m_breakOn && m_link && m_link->isOpen())
        m_link->setBreak(false);
    m_breakOn = false;
    m_running = false;
    m_steps.clear();
    emit finished(ok);
}

} // namespace zorvane::serial
