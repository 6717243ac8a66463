#include "SealingQueue.h"

namespace zorvane::terminal {

SealingQueue::SealingQueue() : m_thread([this] { run(); }) {}

SealingQueue::~SealingQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_pending.clear();
    }
    m_wake.notify_all();
    m_thread.join();
}

void SealingQueue::push(const std::shared_ptr<SealedBlock> &block)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(block);
    }
    m_wake.notify_one();
}

void SealingQueue::settle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_pending.empty() && !m_busy; });
}

void SealingQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_pending.empty(); });
        if (m_stop)
            return;
        std::shared_ptr<SealedBlock> block = m_pending.front().lock();
        m_pending.pop_front();
        m_busy = true;
        lock.unlock();
        if (block)
            block->compress();
        block.reset(); // a block cleared meanwhile is freed here, outside the lock
        lock.lock();
        m_busy = false;
        if (m_pending.empty())
            m_idle.notify_all();
    }
}

} // namespace zorvane::terminal
