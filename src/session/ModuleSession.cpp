// The receive timer's event: runs the receive ticks, sets the pace of the next event and
// shows what the ticks added. Between bursts on a quiet link the timer stops and the program
// sleeps until the device has bytes, so an idle port costs no wake-ups at all. When each of
// these happens is the pacer's rule; this file runs the timers it asks for.
#include "session/ModuleSession.h"

#include <QMetaMethod>
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
        m_pacer.refreshed();
        showNewLines();
    });
    // Only while someone listens: a flood then costs nothing more.
    m_serial.setReadTap([this](const QByteArray &bytes) {
        if (isSignalConnected(QMetaMethod::fromSignal(&ModuleSession::bytesReceived)))
            emit bytesReceived(bytes);
    });
    m_serial.setWakeUp([this] {
        // A failing device is checked at once; arriving bytes are let gather a moment.
        if (!asleep())
            return;
        if (!m_serial.isAlive()) {
            m_pacer.checkLinkNextTick();
            wakeReceiveTimer(0);
        } else {
            // A transfer's answer is read at once: every block waits for it.
            wakeReceiveTimer(m_diversion ? 0 : m_pacer.wakeDelayMs());
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
    if (!m_serial.holdsDevice()) {
        if (m_pacer.offlineTickDue())
            Timer1Timer();
    } else {
        m_pacer.startEvent();
        const qint64 takenBefore = m_serial.bytesTaken();
        // The lines these ticks show arrived when the serial unit read their bytes.
        m_lines.setReadTime(&m_serial.lastReadMs());
        for (int ticks = 1;; ++ticks) {
            const qint64 before = m_serial.bytesTaken();
            Timer1Timer();
            // A tick that took nothing found the link drained; a lost link ends the run too.
            if (m_serial.bytesTaken() == before || !m_serial.holdsDevice())
                break;
            if (m_pacer.budgetSpent(ticks))
                break;
        }
        const qint64 taken = m_serial.bytesTaken() - takenBefore;
        // While a transfer takes the bytes, each answer wakes the program as it arrives.
        const bool sleepForAnswer = m_diversion && m_serial.holdsDevice();
        switch (sleepForAnswer ? ReceivePacer::Pace::Sleep
                               : m_pacer.endEvent(taken, m_serial.holdsDevice())) {
        case ReceivePacer::Pace::Sleep:
            sleepUntilBytes();
            return;
        case ReceivePacer::Pace::Doze:
            // One wake-up a frame, the timer's: the device keeps its bytes until then.
            m_serial.dozeUntilNextRead();
            pace = ReceivePacer::kBusyGatherMs;
            break;
        case ReceivePacer::Pace::Flood:
            pace = ReceivePacer::kFloodTickMs;
            break;
        }
    }
    if (m_receiveTimer->interval() != pace)
        m_receiveTimer->setInterval(pace);

    if (!m_pacer.refreshDue(m_lines.size() - m_shownRows))
        return;
    if (hasUnshownLines()) {
        m_pacer.refreshed();
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
    m_pacer.fellAsleep();
    m_serial.restUntilNextRead();
    // Lines still waiting for their refresh are shown when their time comes, not never.
    if (hasUnshownLines() && !m_pendingRefresh->isActive())
        m_pendingRefresh->start(m_pacer.pendingRefreshDelayMs());
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
    m_pacer.checkLinkNextTick();
    const qint64 before = m_serial.bytesTaken();
    Timer1Timer();
    if (!m_serial.holdsDevice() || m_serial.bytesTaken() != before)
        m_receiveTimer->start(0);
    else
        sleepUntilBytes();
}

int ModuleSession::CheckLink()
{
    const int result = m_serial.c_getc_link();
    if (result == serial::LinkCode::Lost)
        m_connection.linkLost();
    switch (m_pacer.afterLinkCheck(result, m_serial.port_is_open())) {
    case ReceivePacer::LinkStep::Reopen:
        emit reopenDue();
        m_connection.reopenQuietly();
        break;
    case ReceivePacer::LinkStep::ShowCountdown:
        emit countdownSecond(m_pacer.countdownSeconds());
        m_connection.countdown(m_pacer.countdownSeconds());
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

void ModuleSession::showSoon()
{
    // The receive events cannot be relied on to show them: on a quiet link the receive timer
    // sleeps until bytes arrive, and only the link check wakes it, once a second.
    if (m_showSoonPosted)
        return;
    m_showSoonPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_showSoonPosted = false;
            if (!hasUnshownLines())
                return;
            m_pacer.refreshed();
            showNewLines();
        },
        Qt::QueuedConnection);
}

void ModuleSession::clearList()
{
    // What the log has not had of the open line goes there before the line goes; the log,
    // like the list, then starts afresh.
    if (tickOptions().log)
        m_lineAssembly.logOpenLine(*this);
    m_lineAssembly.dropLine();
    emit listClearing();
    m_lines.clear();
    m_shownRows = 0;
    m_shownLastLength = 0;
    emit listCleared();
}

} // namespace zorvane::session
