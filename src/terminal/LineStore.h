#pragma once

#include "terminal/BlockLines.h"
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
// kept as Latin-1 in blocks of 256 KiB, each with where its lines start and when each line's
// first byte arrived. Only the last line ever grows, which keeps the lines of a block
// contiguous and in order. A block the last line has left never changes again: it is sealed
// and packed (text, starts and times together) on a thread of its own, and read back through
// a small cache of unpacked blocks, so a long session costs a fraction of its text. Past a
// memory budget the oldest packed blocks move to a nameless file on disk.
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
    const qint64 *readTime() const { return m_readMs; }
    // The time a line started now would get.
    qint64 nowMs() const { return now(); }

    // Packed blocks kept in memory before the oldest move to disk.
    static constexpr qint64 kDefaultSpillBudget = 256 * 1024 * 1024;
    // The budget in bytes (negative: everything stays in memory) and the folder of the spill
    // file (empty: the user's cache folder). Taken up by the blocks sealed from now on.
    void setSpill(qint64 budget, const QString &folder = {});
    // The budget as the settings give it: whole MB, 0 for none (all in memory); a negative
    // number reads as the default.
    void setSpillMegabytes(int mb);
    int spillMegabytes() const;
    // Why older lines could not be moved to disk, once; spilling then stays off.
    std::optional<QString> takeSpillNotice();

    qsizetype size() const { return m_openFirst + (m_open ? m_open->count() : 0); }
    bool isEmpty() const { return size() == 0; }

    QString text(qsizetype row) const;
    // Up to `count` characters of a line from character `from` on.
    QString text(qsizetype row, qsizetype from, qsizetype count) const;
    // Bytes the line holds: its length in characters, unless it holds a character above 255.
    qsizetype length(qsizetype row) const;
    // A line held as one byte per character (the rule for received text) gives its bytes
    // without a copy; a line that holds a character above 255 gives nothing. The bytes stay
    // valid until the next call that reads or changes the store: a line of a sealed block
    // lives in the cache of unpacked blocks.
    std::optional<QByteArrayView> latin1(qsizetype row) const;

    // Reads lines on another thread, each reader with its block of its own, while the store's
    // own thread waits for it and so neither reads nor changes the store meanwhile. A reader
    // unpacks a block once however many of its lines it is asked for.
    class Reader
    {
    public:
        explicit Reader(const LineStore &lines) : m_lines(lines) {}
        const LineStore &lines() const { return m_lines; }
        std::optional<QByteArrayView> latin1(qsizetype row);
        QString text(qsizetype row);
        qsizetype length(qsizetype row);
        bool isWide(qsizetype row);
        // The bytes of the rows from `first` up to `end`, all in one block, one after another.
        QByteArrayView span(qsizetype first, qsizetype end);

    private:
        std::pair<const BlockLines *, qsizetype> place(qsizetype row);
        const LineStore &m_lines;
        qsizetype m_first = 0;
        qsizetype m_end = 0;
        std::shared_ptr<const BlockLines> m_block;
    };
    // The first row after the block that holds `row`: the lines one unpacking brings.
    qsizetype blockEnd(qsizetype row) const;
    // The longest of the lines from `first` up to `end`, or longer: a sealed block answers for
    // all its lines, without being unpacked. Exact when the lines of that block before
    // `first` are no longer than the answer, as for a caller that goes through the lines in
    // order.
    qsizetype longestLength(qsizetype first, qsizetype end) const;
    // Whether the row's block is sealed: reading it may cost an unpacking.
    bool isSealed(qsizetype row) const { return row < m_openFirst; }
    // Whether the row's block was moved to the spill file.
    bool isSpilled(qsizetype row) const;
    // Whether the line holds a character above 255, so it gives no Latin-1 bytes.
    bool isWide(qsizetype row) const;

    // Appends to the last line, opening one first when there is none.
    void appendToLast(QByteArrayView latin1);
    void appendToLast(QStringView text);
    // Opens a new last line holding the text.
    void addLine(QStringView text);
    // Opens a new last line that starts with a lead of the program's own (the echo's "RX<= "),
    // not received text: the line's arrival time is still that of its first received byte.
    void addLineWithLead(QByteArrayView lead);
    // Lets every line go, the spill file too, and hands the memory back to the system.
    void clear();
    // Changes whenever the store is emptied, so whoever keeps results about its lines can
    // tell that they are gone.
    quint64 generation() const { return m_generation; }

    // When the line's first byte arrived (a line that ended empty: its line end), in ms since
    // the epoch.
    qint64 arrivalMs(qsizetype row) const;

    // Bytes held in memory for the lines (the cache of unpacked blocks included), for the
    // memory figures of the benchmark.
    qsizetype memoryBytes() const;
    // Waits until every sealed block is packed (and spilled past the budget), for figures and
    // tests that look at the result.
    void settle();

private:
    struct Sealed
    {
        qsizetype firstRow = 0;
        std::shared_ptr<SealedBlock> block;
        bool anyWide = false;
        // Known without unpacking: the longest line, and the last one, the one a reader that
        // looked before the block was sealed may ask about again.
        qsizetype longest = 0;
        qsizetype lastLength = 0;
    };
    // Unpacked blocks kept for drawing: a screenful of lines needs one or two, a scroll-bar
    // drag a new one per step.
    struct CacheEntry
    {
        size_t block = ~size_t(0);
        quint64 lastUse = 0;
        std::shared_ptr<const BlockLines> lines;
    };
    static constexpr int kCacheBlocks = 8;

    // The sealed block that holds the row.
    size_t sealedIndex(qsizetype row) const;
    // The block that holds the row and the row's place in it, through the cache when sealed.
    std::pair<const BlockLines *, qsizetype> place(qsizetype row) const;
    const BlockLines *cached(size_t block) const;
    // Seals the open block and opens a new one holding nothing.
    void openBlock(quint32 capacity);
    void appendBytes(QByteArrayView bytes);
    bool appendNarrowed(QStringView text);
    void ensureLastLine();
    void convertLastLineToUtf8();
    char *reserveInLastLine(qsizetype extra);
    qsizetype lastLength() const { return m_open->length(m_open->count() - 1); }
    // The last line is about to take its first characters after its lead: they arrive now.
    void stampIfEmpty();

    std::vector<Sealed> m_sealed;
    std::shared_ptr<BlockLines> m_open;
    qsizetype m_openFirst = 0;
    mutable std::array<CacheEntry, kCacheBlocks> m_cache;
    mutable quint64 m_cacheUse = 0;
    mutable size_t m_lastSealed = 0;
    std::unique_ptr<SealingQueue> m_sealer;
    qint64 m_spillBudget = kDefaultSpillBudget;
    QString m_spillFolder;
    bool m_spillOff = false;
    std::optional<QString> m_spillNotice;
    Clock m_clock = &systemClock;
    const qint64 *m_readMs = nullptr;
    // Bytes of the last line's lead, which leave it waiting for its arrival time.
    qsizetype m_lastLead = 0;
    qint64 now() const { return m_readMs ? *m_readMs : m_clock(); }
    quint64 m_generation = 0;
};

} // namespace zorvane::terminal
