#pragma once

#include "terminal/ArrivalTimes.h"

#include <QByteArrayView>
#include <QString>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace zorvane::terminal {

// The named line styles of the two colour schemes; the scheme colours the whole list, so lines
// carry no style of their own.
enum class LineStyle : quint8 { None = 0, Standard = 1, Green = 2 };

// Holds every terminal line for the whole run. Received text is byte-valued, so lines are
// kept as Latin-1 in large shared blocks; a line costs one 8-byte entry beyond its text.
// Only the last line ever grows, which keeps the lines of a block contiguous and in order.
// Each line also keeps when its first byte arrived.
class LineStore
{
public:
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
    // without a copy; a line that holds a character above 255 gives nothing.
    std::optional<QByteArrayView> latin1(qsizetype row) const;

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

    // Bytes held for text and entries (with the entry container's own bookkeeping), for the
    // memory figures of the benchmark.
    qsizetype memoryBytes() const;

private:
    struct Block
    {
        std::unique_ptr<char[]> data;
        quint32 used = 0;
        quint32 capacity = 0;
    };

    // Entry layout: offset in block (bits 0-31), block index (32-55), flags (56-63).
    static constexpr int kBlockShift = 32;
    static constexpr int kFlagShift = 56;
    static constexpr quint64 kUtf8Flag = quint64(1) << (kFlagShift + 4);

    static quint32 offsetOf(quint64 e) { return static_cast<quint32>(e); }
    static quint32 blockOf(quint64 e)
    {
        return static_cast<quint32>((e >> kBlockShift) & 0xFFFFFF);
    }

    const char *lineData(qsizetype row) const;
    void appendBytes(QByteArrayView bytes);
    bool appendNarrowed(QStringView text);
    void ensureLastLine();
    void convertLastLineToUtf8();
    char *reserveInLastLine(qsizetype extra);
    // The last line is about to take its first characters: they arrive now.
    void stampIfEmpty();

    std::deque<quint64> m_entries;
    std::vector<Block> m_blocks;
    ArrivalTimes m_times;
    Clock m_clock = &systemClock;
    const qint64 *m_readMs = nullptr;
    qint64 now() const { return m_readMs ? *m_readMs : m_clock(); }
    quint64 m_generation = 0;
};

} // namespace zorvane::terminal
