#include "LoopMonitor.h"

#include "Clocks.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>

#include <algorithm>
#include <chrono>
#include <pthread.h>

namespace zorvane::bench {

namespace {
const QEvent::Type kProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Carries the moment it was posted.
class ProbeEvent : public QEvent
{
public:
    explicit ProbeEvent(qint64 postedNs) : QEvent(kProbeEvent), m_postedNs(postedNs) {}
    qint64 postedNs() const { return m_postedNs; }

private:
    qint64 m_postedNs;
};
} // namespace

LoopMonitor::LoopMonitor(int probeIntervalMs) : m_probeIntervalMs(probeIntervalMs)
{
    m_lastNs = nowNs();
    QCoreApplication::instance()->installEventFilter(this);
    if (probeIntervalMs > 0) {
        m_probing = true;
        m_prober = std::thread([this] {
            pthread_setname_np(pthread_self(), "latency-probe");
            while (m_probing.load()) {
                QCoreApplication::postEvent(this, new ProbeEvent(nowNs()));
                std::this_thread::sleep_for(std::chrono::milliseconds(m_probeIntervalMs));
            }
        });
    }
}

LoopMonitor::~LoopMonitor()
{
    stop();
}

void LoopMonitor::stop()
{
    if (m_running) {
        m_running = false;
        QCoreApplication::instance()->removeEventFilter(this);
    }
    m_probing = false;
    if (m_prober.joinable())
        m_prober.join();
}

bool LoopMonitor::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running) {
        const qint64 now = nowNs();
        m_longestGapNs = std::max(m_longestGapNs, now - m_lastNs);
        m_lastNs = now;
        ++m_events;
    }
    return QObject::eventFilter(watched, event);
}

bool LoopMonitor::event(QEvent *event)
{
    if (event->type() == kProbeEvent) {
        if (m_running)
            m_latenciesNs.push_back(nowNs() - static_cast<ProbeEvent *>(event)->postedNs());
        return true;
    }
    return QObject::event(event);
}

double LoopMonitor::longestLatencyMs() const
{
    return m_latenciesNs.empty()
               ? 0.0
               : double(*std::max_element(m_latenciesNs.begin(), m_latenciesNs.end())) * 1e-6;
}

double LoopMonitor::latencyPercentileMs(double fraction) const
{
    if (m_latenciesNs.empty())
        return 0.0;
    std::vector<qint64> sorted = m_latenciesNs;
    std::sort(sorted.begin(), sorted.end());
    const auto at = std::min(sorted.size() - 1, size_t(fraction * double(sorted.size())));
    return double(sorted[at]) * 1e-6;
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace zorvane::bench
