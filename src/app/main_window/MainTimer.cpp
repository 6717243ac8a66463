// The receive timer's event: runs the receive ticks, sets the pace of the next event and
// shows what the ticks added. Between bursts on a quiet link the timer stops and the program
// sleeps until the device has bytes, so an idle port costs no wake-ups at all. When each of
// these happens is the pacer's rule; this file runs the timers it asks for.
#include "app/main_window/MainForm.h"

#include "terminal/view/TerminalModel.h"

#include <QListView>
#include <QScopeGuard>
#include <QTimer>

using zorvane::session::ReceivePacer;

void TMain::onTimer1()
{
    int pace = ReceivePacer::kNominalTickMs;
    // The lines this event's ticks log reach the file in one write when the event ends,
    // whichever way it ends.
    m_logBatching = true;
    const auto writeLog = qScopeGuard([this] {
        m_logBatching = false;
        ListModel->lines().setReadTime(nullptr);
        flushLog();
    });
    if (!serial.holdsDevice()) {
        if (pacer.offlineTickDue())
            Timer1Timer();
    } else {
        pacer.startEvent();
        const qint64 takenBefore = serial.bytesTaken();
        // The lines these ticks show arrived when the serial unit read their bytes.
        ListModel->lines().setReadTime(&serial.lastReadMs());
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
    if (Timer1->interval() != pace)
        Timer1->setInterval(pace);

    if (!pacer.refreshDue(ListModel->lines().size() - ListModel->rowCount()))
        return;
    if (ListModel->hasUnpublished()) {
        pacer.refreshed();
        refreshTerminalView();
    }
}

void TMain::setUpReceivePacing()
{
    m_sleepingLinkCheck = new QTimer(this);
    m_sleepingLinkCheck->setInterval(ReceivePacer::kSleepingLinkCheckMs);
    connect(m_sleepingLinkCheck, &QTimer::timeout, this, &TMain::checkLinkWhileAsleep);
    m_pendingRefresh = new QTimer(this);
    m_pendingRefresh->setSingleShot(true);
    connect(m_pendingRefresh, &QTimer::timeout, this, [this] {
        pacer.refreshed();
        refreshTerminalView();
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

bool TMain::asleep() const
{
    return m_sleepingLinkCheck->isActive();
}

void TMain::sleepUntilBytes()
{
    Timer1->stop();
    m_sleepingLinkCheck->start();
    pacer.fellAsleep();
    serial.restUntilNextRead();
    // Lines still waiting for their refresh are shown when their time comes, not never.
    if (ListModel->hasUnpublished() && !m_pendingRefresh->isActive())
        m_pendingRefresh->start(pacer.pendingRefreshDelayMs());
}

void TMain::wakeReceiveTimer(int afterMs)
{
    if (!asleep())
        return;
    m_sleepingLinkCheck->stop();
    Timer1->start(afterMs);
}

void TMain::checkLinkWhileAsleep()
{
    if (!asleep())
        return;
    m_sleepingLinkCheck->stop();
    // The tick that the link check belongs to, as the ticks would have reached it.
    pacer.checkLinkNextTick();
    const qint64 before = serial.bytesTaken();
    Timer1Timer();
    if (!serial.holdsDevice() || serial.bytesTaken() != before)
        Timer1->start(0);
    else
        sleepUntilBytes();
}

void TMain::refreshTerminalView()
{
    if (!ListModel->hasUnpublished())
        return;
    ListModel->publish();
    // A held view keeps its first line and the user's selection; the marker counts.
    if (follow.following())
        selectLastLine();
    showNewLinesCount();
    updateFindCount();
}
