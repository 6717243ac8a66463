#pragma once

#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

namespace zorvane::terminal {

// When each line's first byte arrived, in ms since the epoch. Lines come in blocks of a fixed
// number; a block keeps the time of its first line and every line three bytes of offset from
// it, so a line costs three bytes and a little. An offset that does not fit (a line more than
// four hours after its block's first one) is kept apart, which a live session rarely needs.
class ArrivalTimes
{
public:
    qsizetype size() const { return m_size; }
    void append(qint64 ms);
    // Sets the time of the last line.
    void setLast(qint64 ms);
    qint64 at(qsizetype row) const;
    void clear();
    qsizetype memoryBytes() const;

private:
    static constexpr qsizetype kBlockLines = 1024;
    static constexpr quint32 kOutOfRange = 0xFFFFFF;

    void store(qsizetype row, qint64 ms);

    struct Block
    {
        qint64 base = 0;
        // Three bytes per line, low byte first; allocated whole so a growing list never
        // holds more than one block's spare room.
        std::unique_ptr<quint8[]> offsets;
    };

    quint8 *offsetAt(qsizetype row) const;

    std::vector<Block> m_blocks;
    std::unordered_map<qsizetype, qint64> m_outliers;
    qsizetype m_size = 0;
};

} // namespace zorvane::terminal
