// The receive timer's event: runs the receive ticks, sets the pace of the next event and
// shows what the ticks added. Between bursts on a quiet link the timer stops and the program
// sleeps until the device has bytes, so an idle port costs no wake-ups at all. When each of
// these happens is the pacer's rule; this file runs the timers it asks for.
#include "session/ModuleSession.h"

#include <QScopeGuard>
#include <QTimer>

namespace zorvane::session {

ModuleSession::ModuleSession(QObject *parent)
    : QObject(parent), m_clock(std::make_unique<SteadyClock>())
{
    m_dumpGap = new QTimer(this);
    m_dumpGap->setSingleShot(true);
    connect(m_dumpGap, &QTimer::timeout, this, &ModuleSession::closeQuietDumpBlock);

    m_receiveTimer = new QTimer(this);
    m_receiveTimer->setTimerType(Qt::PreciseTimer);
    // The designed 2 ms pace; the pacer slows it or stops it while the link is quiet.
    m_receiveTimer->setInterval(ReceivePacer::kFloodTickMs);
    connect(m_receiveTimer, &QTimer::timeout, this, &ModuleSession::onReceiveTimer);

    m_sleepingLinkCheck = new QTimer(this);
    m_sleepingLinkCheck->setInterval(ReceivePacer::kSleepingLinkCheckMs);
    connect(m_sleepingLinkCheck, &QTimer::timeout, this, &ModuleSession::checkLinkWhileAsleep);
    m_pendingRefresh = new QTimer(this);
    m_pendingRefresh->setSingleShot(true);
    connect(m_pendingRefresh, &QTimer::timeout, this, [this] {
        pacer.refreshed();
        showNewLines();
    });
    serial.setWakeUp([this] {
        // A failing device is checked at once; arriving bytes are let gather a moment.
        if (!asleep())
            return;
        if (!serial.isAlive()) {
            pacer.checkLinkNextTick();
            wakeReceiveTimer(0);
        } else {
            wakeReceiveTimer(pacer.wakeDelayMs());
        }
    });
}

ModuleSession::~ModuleSession()
{
    stop();
}

void ModuleSession::start()
{
    m_receiveTimer->start();
}

void ModuleSession::stop()
{
    m_receiveTimer->stop();
    m_sleepingLinkCheck->stop();
    m_pendingRefresh->stop();
    m_dumpGap->stop();
}

void ModuleSession::onReceiveTimer()
{
    int pace = ReceivePacer::kNominalTickMs;
    // The lines this event's ticks log reach the file in one write when the event ends,
    // whichever way it ends.
    m_logBatching = true;
    m_eventOptions = options().receive;
    const auto writeLog = qScopeGuard([this] {
        m_eventOptions.reset();
        m_logBatching = false;
        m_lines.setReadTime(nullptr);
        flushLog();
    });
    if (!serial.holdsDevice()) {
        if (pacer.offlineTickDue())
            Timer1Timer();
    } else {
        pacer.startEvent();
        const qint64 takenBefore = serial.bytesTaken();
        // The lines these ticks show arrived when the serial unit read their bytes.
        m_lines.setReadTime(&serial.lastReadMs());
        for (int ticks = 1;; ++ticks) {
            const qint64 before = serial.bytesTaken();
            Timer1Timer();
            // A tick that took nothing found the link drained; a lost link ends the run too.
            if (serial.bytesTaken() == before || !serial.holdsDevice())
                break;
            if (pacer.budgetSpent(ticks))
                break;
        }
        switch (pacer.endEvent(serial.bytesTaken() - takenBefore, serial.holdsDevice())) {
        case ReceivePacer::Pace::Sleep:
            sleepUntilBytes();
            return;
        case ReceivePacer::Pace::Doze:
            // One wake-up a frame, the timer's: the device keeps its bytes until then.
            serial.dozeUntilNextRead();
            pace = ReceivePacer::kBusyGatherMs;
            break;
        case ReceivePacer::Pace::Flood:
            pace = ReceivePacer::kFloodTickMs;
            break;
        }
    }
    if (m_receiveTimer->interval() != pace)
        m_receiveTimer->setInterval(pace);

    if (!pacer.refreshDue(m_lines.size() - m_shownRows))
        return;
    if (hasUnshownLines()) {
        pacer.refreshed();
        showNewLines();
    }
}

bool ModuleSession::asleep() const
{
    return m_sleepingLinkCheck->isActive();
}

void ModuleSession::sleepUntilBytes()
{
    m_receiveTimer->stop();
    m_sleepingLinkCheck->start();
    pacer.fellAsleep();
    serial.restUntilNextRead();
    // Lines still waiting for their refresh are shown when their time comes, not never.
    if (hasUnshownLines() && !m_pendingRefresh->isActive())
        m_pendingRefresh->start(pacer.pendingRefreshDelayMs());
}

void ModuleSession::wakeReceiveTimer(int afterMs)
{
    if (!asleep())
        return;
    m_sleepingLinkCheck->stop();
    m_receiveTimer->start(afterMs);
}

void ModuleSession::checkLinkWhileAsleep()
{
    if (!asleep())
        return;
    m_sleepingLinkCheck->stop();
    // The tick that the link check belongs to, as the ticks would have reached it.
    pacer.checkLinkNextTick();
    const qint64 before = serial.bytesTaken();
    Timer1Timer();
    if (!serial.holdsDevice() || serial.bytesTaken() != before)
        m_receiveTimer->start(0);
    else
        sleepUntilBytes();
}

int ModuleSession::CheckLink()
{
    const int result = serial.c_getc_link();
    switch (pacer.afterLinkCheck(result, serial.port_is_open())) {
    case ReceivePacer::LinkStep::Reopen:
        emit reopenDue();
        break;
    case ReceivePacer::LinkStep::ShowCountdown:
        emit countdownSecond(pacer.countdownSeconds());
        break;
    case ReceivePacer::LinkStep::Nothing:
        break;
    }
    return result;
}

bool ModuleSession::hasUnshownLines() const
{
    if (m_lines.size() != m_shownRows)
        return true;
    return m_shownRows > 0 && m_lines.length(m_shownRows - 1) != m_shownLastLength;
}

void ModuleSession::showNewLines()
{
    if (!hasUnshownLines())
        return;
    m_shownRows = m_lines.size();
    m_shownLastLength = m_shownRows > 0 ? m_lines.length(m_shownRows - 1) : 0;
    emit linesReady();
}

void ModuleSession::clearList()
{
    emit listClearing();
    m_lines.clear();
    m_shownRows = 0;
    m_shownLastLength = 0;
    emit listCleared();
}

} // namespace zorvane::session
