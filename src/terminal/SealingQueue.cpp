#include "SealingQueue.h"

#include "SpillFile.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zorvane::terminal {

SealingQueue::SealingQueue(QString folder, qint64 budget)
    : m_folder(std::move(folder)), m_budget(budget), m_thread([this] { run(); })
{
}

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

std::optional<QString> SealingQueue::takeTrouble()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_trouble, std::nullopt);
}

void SealingQueue::keepWithinBudget(const std::shared_ptr<SealedBlock> &compressed)
{
    if (m_budget < 0 || m_spillStopped || !compressed->isCompressed())
        return;
    const qint64 bytes = compressed->memoryBytes();
    m_inMemory.emplace_back(compressed, bytes);
    m_bytesInMemory += bytes;
    QString error;
    while (m_bytesInMemory > m_budget && !m_inMemory.empty()) {
        const auto [weak, size] = m_inMemory.front();
        if (const std::shared_ptr<SealedBlock> oldest = weak.lock()) {
            if (!m_file)
                m_file = SpillFile::open(m_folder, &error);
            if (!m_file || !oldest->spill(m_file, &error)) {
                // Everything stays in memory from now on: no line is ever dropped for room.
                m_spillStopped = true;
                std::lock_guard lock(m_mutex);
                m_trouble = QStringLiteral("Older lines could not be moved to disk (%1: %2). "
                                           "From now on all lines stay in memory.")
                                .arg(m_folder, error);
                return;
            }
        }
        m_inMemory.pop_front();
        m_bytesInMemory -= size;
    }
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
        if (block) {
            block->compress();
            keepWithinBudget(block);
        }
        block.reset(); // a block cleared meanwhile is freed here, outside the lock
#ifdef __GLIBC__
        // Each block frees its plain text and the room its lines grew through, between
        // packed blocks that stay: handing the free pages back now and then keeps a long
        // session's resident size near what it holds.
        if (++m_sinceTrim == kTrimEvery) {
            m_sinceTrim = 0;
            malloc_trim(0);
        }
#endif
        lock.lock();
        m_busy = false;
        if (m_pending.empty())
            m_idle.notify_all();
    }
}

} // namespace zorvane::terminal
