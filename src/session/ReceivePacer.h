#pragma once

#include "session/Clock.h"

#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <memory>

namespace zorvane::session {

// When the receive ticks run and when the link is checked: the pace of the receive timer,
// its sleep between bursts on a quiet link, the spacing of the list's refreshes, and the
// link check's countdown to the quiet reopening of a lost port. All times are in ms; it
// decides, the window runs the timers.
class ReceivePacer
{
public:
    // A tick while no device is held stands for this much time, so the off-line countdown
    // counts real seconds; the timer then fires at this pace too.
    static constexpr int kNominalTickMs = 20;
    // A timer that fires a hair early must not skip every other off-line tick.
    static constexpr int kOfflineSlackMs = 2;
    // The idle link check comes once the ticks since the last one stand for this long
    // (50 ticks), and a lost port is reopened quietly every kReopenMs (500 ticks); the
    // countdown shows the seconds left until then.
    static constexpr int kLinkCheckMs = 1000;
    static constexpr int kReopenMs = 10000;
    static constexpr int kLinkCheckTicks = kLinkCheckMs / kNominalTickMs;
    static constexpr int kReopenTicks = kReopenMs / kNominalTickMs;
    // While bytes keep coming, one event runs ticks back to back for this long: a link that
    // sends many short lines drains at its own rate, and the window still answers within a
    // few ms. Reading the clock costs about as much as a short tick, so it is read every few
    // ticks.
    static constexpr qint64 kTickBudgetNs = 6'000'000;
    static constexpr int kTicksPerClockRead = 8;
    // The timer's pace: the designed 2 ms while bytes arrive faster than kFastLinkBytesPerMs
    // or a flood outlasts an event's budget. Otherwise, once a burst is drained, the timer
    // stops and the first byte of the next burst wakes the program; the ticks start kGatherMs
    // later, so a burst is handled in one run of ticks instead of one wake-up per few bytes
    // (the device's own buffer holds what arrives meanwhile, far inside the 4 KB a terminal
    // device takes before it holds the sender back).
    static constexpr int kFloodTickMs = 2;
    static constexpr int kGatherMs = 3;
    // A link that woke the program again soon after it slept is busy but slow: its bytes are
    // let gather for a display frame (at most 30 a second), so a steady stream costs two
    // wake-ups a frame, the first byte's and the timer's, instead of two every few ms; the
    // list is refreshed no faster than that anyway. A line after a quiet spell still has only
    // kGatherMs to wait.
    static constexpr int kBusyGatherMs = 33;
    static constexpr qint64 kQuietSpellMs = 20;
    static constexpr qint64 kFastLinkBytesPerMs = 150;
    // While asleep the link is still checked this often, so an unplugged adapter that tells
    // nobody is noticed within about a second.
    static constexpr int kSleepingLinkCheckMs = 1000;
    // A flood whose sender stalls for a moment must not drop to the quiet pace: only this
    // many slow events in a row (10 ms at the fast pace) make a link slow.
    static constexpr int kSlowEventsBeforeQuiet = 5;
    // New lines are shown at most this often; a screen of lines costs about a millisecond to
    // paint. While lines come faster than anyone reads them (a screenful or more since the
    // last refresh, so every refresh repaints the whole list) the list is refreshed less
    // often.
    static constexpr qint64 kViewRefreshMs = 40;
    static constexpr qint64 kChurnRefreshMs = 100;
    // A screenful, until the view says how many rows it shows.
    static constexpr qsizetype kChurnRows = 50;

    // What the link check asks of the window after its read.
    enum class LinkStep {
        Nothing,
        // Show the countdown (or "Offline" when no port is known).
        ShowCountdown,
        // Reopen the last port quietly.
        Reopen
    };

    // How the receive timer goes on after an event with a device held.
    // Doze: a busy slow link is read again after a frame without waiting to be woken.
    enum class Pace { Flood, Sleep, Doze };

    explicit ReceivePacer(std::unique_ptr<Clock> clock = std::make_unique<SteadyClock>());

    // --- the link check, counted in ticks
    // Receive ticks since the last idle link check.
    int tick_count = 0;
    // Counts a tick; true when its first read is the link check.
    bool startTick() { return ++tick_count > kLinkCheckTicks; }
    // The next tick checks the link, as the ticks would have reached it.
    void checkLinkNextTick();
    // The step after the link check's read: `linkResult` is what the read returned, and
    // `portOpen` whether a port is still open.
    LinkStep afterLinkCheck(int linkResult, bool portOpen);
    // The seconds the countdown shows until the next quiet reopening.
    double countdownSeconds() const;

    // --- the receive timer while no device is held
    // Whether an off-line tick is due now; notes it when it is.
    bool offlineTickDue();

    // --- one receive event with a device held
    void startEvent();
    // Called after each tick that took bytes; true once the event has used its budget.
    bool budgetSpent(int ticks)
    {
        return ticks % kTicksPerClockRead == 0 && budgetSpentNow();
    }
    // After the ticks: `taken` bytes in this event; the pace that follows.
    Pace endEvent(qint64 taken, bool holdsDevice);

    // --- sleeping between bursts
    void fellAsleep();
    // How long arriving bytes are let gather before the ticks start again; notes whether the
    // link is busy, which makes it doze instead of sleep while its bytes keep coming.
    int wakeDelayMs();

    // --- refreshing the list
    // Whether the list may be refreshed now, with `newRows` lines waiting to be shown.
    bool refreshDue(qsizetype newRows) const;
    void refreshed();
    // The rows the list shows at once: that many new lines make a refresh repaint it whole.
    void setScreenRows(qsizetype rows) { m_screenRows = std::max<qsizetype>(1, rows); }
    // How long lines left waiting when the timer fell asleep still wait for their refresh.
    int pendingRefreshDelayMs() const;

private:
    qsizetype m_screenRows = kChurnRows;
    bool budgetSpentNow();

    std::unique_ptr<Clock> m_clock;
    // When each was last noted, in ns of the clock; empty until then.
    static constexpr qint64 kNever = std::numeric_limits<qint64>::min();
    qint64 m_offlineTickNs = kNever;
    qint64 m_lastEventNs = kNever;
    qint64 m_eventStartNs = 0;
    qint64 m_sinceLastEventMs = 0;
    bool m_flooded = false;
    qint64 m_viewNs = kNever;
    qint64 m_sleepNs = 0;
    // Receive events in a row that found the link slow.
    int m_slowEvents = 0;
    // Woken soon after it slept: the link keeps sending, slowly.
    bool m_busy = false;
};

} // namespace zorvane::session
