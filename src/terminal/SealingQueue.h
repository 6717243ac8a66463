#pragma once

#include "terminal/SealedBlock.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zorvane::terminal {

// Compresses sealed blocks one after another on a thread of its own, so the GUI thread only
// hands them over. It holds the blocks weakly: a block its store let go of (a Clear) is
// skipped, and one being compressed meanwhile is freed when the compression ends.
class SealingQueue
{
public:
    SealingQueue();
    ~SealingQueue();
    SealingQueue(const SealingQueue &) = delete;
    SealingQueue &operator=(const SealingQueue &) = delete;

    void push(const std::shared_ptr<SealedBlock> &block);
    // Waits until every block handed over so far is done.
    void settle();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::weak_ptr<SealedBlock>> m_pending;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace zorvane::terminal
