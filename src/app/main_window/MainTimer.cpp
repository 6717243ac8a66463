// The receive timer's event: runs the receive ticks, sets the pace of the next event and
// shows what the ticks added. Between bursts on a quiet link the timer stops and the program
// sleeps until the device has bytes, so an idle port costs no wake-ups at all.
#include "app/main_window/MainForm.h"

#include "terminal/view/TerminalModel.h"

#include <QListView>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>

namespace {
// A tick while no device is held stands for this much time, so the off-line countdown
// counts real seconds; the timer then fires at this pace too.
constexpr int kNominalTickMs = 20;
constexpr int kOfflineSlackMs = 2;
// While bytes keep coming, one event runs ticks back to back for this long: a link that sends
// many short lines drains at its own rate, and the window still answers within a few ms.
constexpr qint64 kTickBudgetNs = 6'000'000;
// Reading the clock costs about as much as a short tick, so it is read every few ticks.
constexpr int kTicksPerClockRead = 8;
// The timer's pace: the designed 2 ms while bytes arrive faster than kFastLinkBytesPerMs or a
// flood outlasts an event's budget. Otherwise, once a burst is drained, the timer stops and
// the first byte of the next burst wakes the program; the ticks start kGatherMs later, so a
// burst is handled in one run of ticks instead of one wake-up per few bytes (the device's own
// buffer holds what arrives meanwhile, far inside the 4 KB a terminal device takes before
// it holds the sender back).
constexpr int kFloodTickMs = 2;
constexpr int kGatherMs = 3;
// A link that woke the program again soon after it slept is busy but slow: its bytes are let
// gather longer, so it costs one wake-up per this many ms while a line still reaches the
// screen well within 20 ms of its arrival.
constexpr int kBusyGatherMs = 12;
constexpr qint64 kQuietSpellMs = 20;
constexpr qint64 kFastLinkBytesPerMs = 150;
// While asleep the link is still checked this often, so an unplugged adapter that tells
// nobody is noticed within about a second.
constexpr int kSleepingLinkCheckMs = 1000;
// A flood whose sender stalls for a moment must not drop to the quiet pace: only this many
// slow events in a row (10 ms at the fast pace) make a link slow.
constexpr int kSlowEventsBeforeQuiet = 5;
// New lines are shown at most this often; a screen of lines costs about a millisecond to
// paint. While lines come faster than anyone reads them (a screenful or more since the last
// refresh, so every refresh repaints the whole list) the list is refreshed less often.
constexpr qint64 kViewRefreshMs = 40;
constexpr qint64 kChurnRefreshMs = 100;
constexpr qsizetype kChurnRows = 50;
} // namespace

void TMain::onTimer1()
{
    int pace = kNominalTickMs;
    // The lines this event's ticks log reach the file in one write when the event ends,
    // whichever way it ends.
    m_logBatching = true;
    const auto writeLog = qScopeGuard([this] {
        m_logBatching = false;
        ListModel->lines().setReadTime(nullptr);
        flushLog();
    });
    if (!serial.holdsDevice()) {
        // The slack keeps a timer that fires a hair early from skipping every other tick.
        if (!m_offlineClock.isValid() ||
            m_offlineClock.elapsed() + kOfflineSlackMs >= kNominalTickMs) {
            m_offlineClock.start();
            Timer1Timer();
        }
    } else {
        // Bytes per ms since the previous event, whatever the pace was.
        const qint64 sinceLastMs = m_paceClock.isValid() ? m_paceClock.restart() : 0;
        if (sinceLastMs == 0)
            m_paceClock.start();
        const qint64 takenBefore = serial.bytesTaken();
        // The lines these ticks show arrived when the serial unit read their bytes.
        ListModel->lines().setReadTime(&serial.lastReadMs());
        bool flooded = false;
        QElapsedTimer clock;
        clock.start();
        for (int ticks = 1;; ++ticks) {
            const qint64 before = serial.bytesTaken();
            Timer1Timer();
            // A tick that took nothing found the link drained; a lost link ends the run too.
            if (serial.bytesTaken() == before || !serial.holdsDevice())
                break;
            if (ticks % kTicksPerClockRead == 0 && clock.nsecsElapsed() >= kTickBudgetNs) {
                flooded = true;
                break;
            }
        }
        const qint64 taken = serial.bytesTaken() - takenBefore;
        const bool fast = flooded || taken > kFastLinkBytesPerMs * std::max<qint64>(sinceLastMs, 1);
        m_slowEvents = fast ? 0 : std::min(m_slowEvents + 1, kSlowEventsBeforeQuiet);
        if (m_slowEvents >= kSlowEventsBeforeQuiet && serial.holdsDevice()) {
            sleepUntilBytes();
            return;
        }
        pace = kFloodTickMs;
    }
    if (Timer1->interval() != pace)
        Timer1->setInterval(pace);

    const qsizetype newRows = ListModel->lines().size() - ListModel->rowCount();
    const qint64 refreshMs = newRows >= kChurnRows ? kChurnRefreshMs : kViewRefreshMs;
    if (m_viewClock.isValid() && m_viewClock.elapsed() < refreshMs)
        return;
    if (ListModel->hasUnpublished()) {
        m_viewClock.start();
        refreshTerminalView();
    }
}

void TMain::setUpReceivePacing()
{
    m_sleepingLinkCheck = new QTimer(this);
    m_sleepingLinkCheck->setInterval(kSleepingLinkCheckMs);
    connect(m_sleepingLinkCheck, &QTimer::timeout, this, &TMain::checkLinkWhileAsleep);
    m_pendingRefresh = new QTimer(this);
    m_pendingRefresh->setSingleShot(true);
    connect(m_pendingRefresh, &QTimer::timeout, this, [this] {
        m_viewClock.start();
        refreshTerminalView();
    });
    serial.setWakeUp([this] {
        // A failing device is checked at once; arriving bytes are let gather a moment.
        if (!asleep())
            return;
        if (!serial.isAlive()) {
            tick_count = std::max(tick_count, kLinkCheckTicks); // the next tick checks the link
            wakeReceiveTimer(0);
        } else {
            wakeReceiveTimer(m_sleepClock.elapsed() > kQuietSpellMs ? kGatherMs : kBusyGatherMs);
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
    m_sleepClock.start();
    serial.restUntilNextRead();
    // Lines still waiting for their refresh are shown when their time comes, not never.
    if (ListModel->hasUnpublished() && !m_pendingRefresh->isActive()) {
        const qint64 waited = m_viewClock.isValid() ? m_viewClock.elapsed() : kViewRefreshMs;
        m_pendingRefresh->start(int(std::max<qint64>(0, kViewRefreshMs - waited)));
    }
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
    tick_count = std::max(tick_count, kLinkCheckTicks);
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
