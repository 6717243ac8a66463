#pragma once

#include <QObject>

#include <functional>

#include <atomic>
#include <thread>
#include <vector>

namespace zorvane::bench {

// Watches the event loop of the GUI thread: how long an event posted from another thread
// every `probeIntervalMs` waits before it is delivered, which is how long a click would wait,
// and the longest time between two events the loop delivered (during a flood the loop never
// sleeps, so that gap is time spent inside one handler; on a quiet link it includes sleep).
class LoopMonitor : public QObject
{
public:
    explicit LoopMonitor(int probeIntervalMs);
    ~LoopMonitor() override;

    void stop();
    double longestGapMs() const { return m_longestGapNs * 1e-6; }
    double longestLatencyMs() const;
    double latencyPercentileMs(double fraction) const;
    qint64 eventCount() const { return m_events; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;

private:
    qint64 m_lastNs = 0;
    qint64 m_longestGapNs = 0;
    qint64 m_events = 0;
    bool m_running = true;
    std::vector<qint64> m_latenciesNs;
    std::atomic<bool> m_probing{false};
    int m_probeIntervalMs;
    std::thread m_prober;
};

// Runs the event loop until `done` holds or the time is up; says whether it held.
bool waitFor(const std::function<bool()> &done, int timeoutMs);

} // namespace zorvane::bench
