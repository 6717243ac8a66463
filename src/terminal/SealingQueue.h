#pragma once

#include "terminal/SealedBlock.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zorvane::terminal {

class SpillFile;

// Compresses sealed blocks one after another on a thread of its own, so the GUI thread only
// hands them over. Once the compressed blocks in memory pass the budget, the oldest move to
// a spill file in `folder`, on the same thread. It holds the blocks weakly: a block its store
// let go of (a Clear) is skipped, and one being worked on meanwhile is freed when that ends.
class SealingQueue
{
public:
    // A negative budget keeps every block in memory.
    SealingQueue(QString folder, qint64 budget);
    ~SealingQueue();
    SealingQueue(const SealingQueue &) = delete;
    SealingQueue &operator=(const SealingQueue &) = delete;

    void push(const std::shared_ptr<SealedBlock> &block);
    // Waits until every block handed over so far is done.
    void settle();
    // Why spilling stopped (the file could not be made or written), the first time it is
    // asked after that happened; spilling stays off from then on.
    std::optional<QString> takeTrouble();

private:
    void run();
    void keepWithinBudget(const std::shared_ptr<SealedBlock> &compressed);

    const QString m_folder;
    const qint64 m_budget;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::weak_ptr<SealedBlock>> m_pending;
    bool m_busy = false;
    bool m_stop = false;
    // The worker's own: compressed blocks still in memory, oldest first, and their bytes.
    std::deque<std::pair<std::weak_ptr<SealedBlock>, qint64>> m_inMemory;
    qint64 m_bytesInMemory = 0;
    std::shared_ptr<SpillFile> m_file;
    bool m_spillStopped = false;
    static constexpr int kTrimEvery = 64; // blocks, 16 MB of text: often enough, and cheap
    int m_sinceTrim = 0;
    // Under the mutex.
    std::optional<QString> m_trouble;
    std::thread m_thread;
};

} // namespace zorvane::terminal
