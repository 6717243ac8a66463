#pragma once

#include <QObject>

#include <atomic>
#include <thread>
#include <vector>

namespace zorvane::bench {

// Watches the event loop of the GUI thread: the longest time between two events it
// delivered (with the 2 ms receive timer always pending, any longer gap is time the thread
// spent inside one handler), and, when asked, how long an event posted from another thread
// waits before it is delivered, which is how long a click would wait.
class LoopMonitor : public QObject
{
public:
    explicit LoopMonitor(bool probeLatency);
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
    std::thread m_prober;
};

// Monotonic clock in nanoseconds.
qint64 nowNs();

} // namespace zorvane::bench
