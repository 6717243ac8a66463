#include "ReceivePacer.h"

#include "serial/Serial_io.h"

#include <QLoggingCategory>

#include <algorithm>

namespace zorvane::session {

namespace {

// When the receive timer sleeps and wakes, and what the link check decided.
Q_LOGGING_CATEGORY(lcReceive, "zorvane.receive", QtWarningMsg)

constexpr qint64 kNsPerMs = 1'000'000;

} // namespace

ReceivePacer::ReceivePacer(std::unique_ptr<Clock> clock) : m_clock(std::move(clock)) {}

void ReceivePacer::checkLinkNextTick()
{
    tick_count = std::max(tick_count, kLinkCheckTicks);
}

ReceivePacer::LinkStep ReceivePacer::afterLinkCheck(int linkResult, bool portOpen)
{
    // A healthy port with nothing waiting: the next ticks read plainly again. A byte leaves
    // the count running, so the next tick checks again.
    if (linkResult == serial::LinkCode::NoByte)
        tick_count = 0;
    if (tick_count > kReopenTicks) {
        tick_count = 0;
        if (portOpen)
            return LinkStep::Nothing;
        qCDebug(lcReceive, "link check: no port for %d ms, reopening quietly", kReopenMs);
        return LinkStep::Reopen;
    }
    if (tick_count > kLinkCheckTicks && !portOpen)
        return LinkStep::ShowCountdown;
    return LinkStep::Nothing;
}

double ReceivePacer::countdownSeconds() const
{
    return double(kReopenMs - qint64(tick_count) * kNominalTickMs) / 1000.0;
}

bool ReceivePacer::offlineTickDue()
{
    const qint64 now = m_clock->nowNs();
    if (m_offlineTickNs != kNever &&
        (now - m_offlineTickNs) / kNsPerMs + kOfflineSlackMs < kNominalTickMs)
        return false;
    m_offlineTickNs = now;
    return true;
}

void ReceivePacer::startEvent()
{
    const qint64 now = m_clock->nowNs();
    // Bytes per ms since the previous event, whatever the pace was.
    m_sinceLastEventMs = m_lastEventNs == kNever ? 0 : (now - m_lastEventNs) / kNsPerMs;
    m_lastEventNs = now;
    m_eventStartNs = now;
    m_flooded = false;
}

bool ReceivePacer::budgetSpentNow()
{
    if (m_clock->nowNs() - m_eventStartNs < kTickBudgetNs)
        return false;
    m_flooded = true;
    return true;
}

ReceivePacer::Pace ReceivePacer::endEvent(qint64 taken, bool holdsDevice)
{
    const bool fast =
        m_flooded || taken > kFastLinkBytesPerMs * std::max<qint64>(m_sinceLastEventMs, 1);
    m_slowEvents = fast ? 0 : std::min(m_slowEvents + 1, kSlowEventsBeforeQuiet);
    if (m_slowEvents < kSlowEventsBeforeQuiet || !holdsDevice)
        return Pace::Flood;
    if (m_busy && taken > 0)
        return Pace::Doze;
    m_busy = false;
    qCDebug(lcReceive, "link quiet for %d events: sleeping until bytes arrive", m_slowEvents);
    return Pace::Sleep;
}

void ReceivePacer::fellAsleep()
{
    m_sleepNs = m_clock->nowNs();
}

int ReceivePacer::wakeDelayMs()
{
    const qint64 asleepMs = (m_clock->nowNs() - m_sleepNs) / kNsPerMs;
    m_busy = asleepMs <= kQuietSpellMs;
    const int delay = m_busy ? kBusyGatherMs : kGatherMs;
    qCDebug(lcReceive, "woken by bytes after %lld ms asleep: ticks in %d ms", asleepMs, delay);
    return delay;
}

bool ReceivePacer::refreshDue(qsizetype newRows) const
{
    const qint64 refreshMs = newRows >= m_screenRows ? kChurnRefreshMs : kViewRefreshMs;
    return m_viewNs == kNever || (m_clock->nowNs() - m_viewNs) / kNsPerMs >= refreshMs;
}

void ReceivePacer::refreshed()
{
    m_viewNs = m_clock->nowNs();
}

int ReceivePacer::pendingRefreshDelayMs() const
{
    const qint64 waited =
        m_viewNs == kNever ? kViewRefreshMs : (m_clock->nowNs() - m_viewNs) / kNsPerMs;
    return int(std::max<qint64>(0, kViewRefreshMs - waited));
}

} // namespace zorvane::session
