#pragma once

#include "terminal/ArrivalTimes.h"
#include "terminal/SealedBlock.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace zorvane::terminal {

// The named line styles of the two colour schemes; the scheme colours the whole list, so lines
// carry no style of their own.
enum class LineStyle : quint8 { None = 0, Standard = 1, Green = 2 };

class SealingQueue;

// Holds every terminal line for the whole run. Received text is byte-valued, so lines are
// kept as Latin-1 in large shared blocks; a line costs one 8-byte entry beyond its text.
// Only the last line ever grows, which keeps the lines of a block contiguous and in order.
// A block the last line has left never changes again: it is sealed and compressed on a
// thread of its own, and read back through a small cache of decompressed blocks, so the text
// of a long session costs a fraction of its size. Each line also keeps when its first byte
// arrived.
class LineStore
{
public:
    LineStore();
    ~LineStore();
    LineStore(const LineStore &) = delete;
    LineStore &operator=(const LineStore &) = delete;

    // Milliseconds since the epoch; tests hand in a clock of their own.
    using Clock = qint64 (*)();
    static qint64 systemClock();
    void setClock(Clock clock) { m_clock = clock; }
    // While set, lines take their arrival time from here (when the bytes being shown were
    // read) instead of reading the clock twice per line, which a flood of short lines feels.
    void setReadTime(const qint64 *readMs) { m_readMs = readMs; }

    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    QString text(qsizetype row) const;
    // Up to `count` characters of a line from character `from` on.
    QString text(qsizetype row, qsizetype from, qsizetype count) const;
    // Bytes the line holds: its length in characters, unless it holds a character above 255.
    qsizetype length(qsizetype row) const;
    // A line held as one byte per character (the rule for received text) gives its bytes
    // without a copy; a line that holds a character above 255 gives nothing. The bytes stay
    // valid until the next call that reads or changes the store: a line of a sealed block
    // lives in the cache of decompressed blocks.
    std::optional<QByteArrayView> latin1(qsizetype row) const;

    // Reads lines on another thread, each reader with its block of its own, while the store's
    // own thread waits for it and so neither reads nor changes the store meanwhile. A reader
    // decompresses a block once however many of its lines it is asked for.
    class Reader
    {
    public:
        explicit Reader(const LineStore &lines) : m_lines(lines) {}
        const LineStore &lines() const { return m_lines; }
        std::optional<QByteArrayView> latin1(qsizetype row);
        QString text(qsizetype row);
        // The bytes of the rows from `first` up to `end`, all in one block, one after another.
        QByteArrayView span(qsizetype first, qsizetype end);

    private:
        QByteArrayView lineBytes(qsizetype row);
        const LineStore &m_lines;
        quint32 m_block = ~0u;
        std::shared_ptr<const char[]> m_bytes;
    };
    // The first row after the block that holds `row`: the lines one decompression brings.
    qsizetype blockEnd(qsizetype row) const;
    // Whether the row's block is sealed: reading it may cost a decompression.
    bool isSealed(qsizetype row) const;
    // Whether the line holds a character above 255, so it gives no Latin-1 bytes.
    bool isWide(qsizetype row) const { return m_entries[static_cast<size_t>(row)] & kUtf8Flag; }

    // Appends to the last line, opening one first when there is none.
    void appendToLast(QByteArrayView latin1);
    void appendToLast(QStringView text);
    // Opens a new last line holding the text.
    void addLine(QStringView text);
    void clear();
    // Changes whenever the store is emptied, so whoever keeps results about its lines can
    // tell that they are gone.
    quint64 generation() const { return m_generation; }

    // When the line's first byte arrived (a line that ended empty: its line end), in ms since
    // the epoch.
    qint64 arrivalMs(qsizetype row) const { return m_times.at(row); }

    // Bytes held for text and entries (with the entry container's own bookkeeping and the
    // cache of decompressed blocks), for the memory figures of the benchmark.
    qsizetype memoryBytes() const;
    // Waits until every sealed block is compressed, for figures and tests that look at the
    // result.
    void settle();

private:
    struct Block
    {
        std::unique_ptr<char[]> data;        // the open block's text
        std::shared_ptr<SealedBlock> sealed; // or, once full, the sealed text
        quint32 used = 0;
        quint32 capacity = 0;
    };
    // Decompressed blocks kept for drawing: a screenful of lines needs one or two, a scroll-bar
    // drag a new one per step.
    struct CacheEntry
    {
        quint32 block = ~0u;
        quint64 lastUse = 0;
        std::shared_ptr<const char[]> bytes;
    };
    static constexpr int kCacheBlocks = 8;

    // Entry layout: offset in block (bits 0-31), block index (32-55), flags (56-63).
    static constexpr int kBlockShift = 32;
    static constexpr int kFlagShift = 56;
    static constexpr quint64 kUtf8Flag = quint64(1) << (kFlagShift + 4);

    static quint32 offsetOf(quint64 e) { return static_cast<quint32>(e); }
    static quint32 blockOf(quint64 e)
    {
        return static_cast<quint32>((e >> kBlockShift) & 0xFFFFFF);
    }

    // The line's bytes, through the cache when its block is sealed.
    QByteArrayView lineBytes(qsizetype row) const;
    const char *blockBytes(quint32 block) const;
    // Makes a new last block; the one before it is sealed.
    void pushBlock(Block block);
    void appendBytes(QByteArrayView bytes);
    bool appendNarrowed(QStringView text);
    void ensureLastLine();
    void convertLastLineToUtf8();
    char *reserveInLastLine(qsizetype extra);
    // The last line is about to take its first characters: they arrive now.
    void stampIfEmpty();

    std::deque<quint64> m_entries;
    std::vector<Block> m_blocks;
    mutable std::array<CacheEntry, kCacheBlocks> m_cache;
    mutable quint64 m_cacheUse = 0;
    std::unique_ptr<SealingQueue> m_sealer;
    ArrivalTimes m_times;
    Clock m_clock = &systemClock;
    const qint64 *m_readMs = nullptr;
    qint64 now() const { return m_readMs ? *m_readMs : m_clock(); }
    quint64 m_generation = 0;
};

} // namespace zorvane::terminal
