#include "ArrivalTimes.h"

namespace zorvane::terminal {

quint8 *ArrivalTimes::offsetAt(qsizetype row) const
{
    return m_blocks[size_t(row / kBlockLines)].offsets.get() + (row % kBlockLines) * 3;
}

void ArrivalTimes::append(qint64 ms)
{
    if (m_size % kBlockLines == 0)
        m_blocks.push_back({ms, std::make_unique_for_overwrite<quint8[]>(kBlockLines * 3)});
    ++m_size;
    store(m_size - 1, ms);
}

void ArrivalTimes::setLast(qint64 ms)
{
    if (m_size == 0)
        return;
    if (m_size % kBlockLines == 1)
        m_blocks.back().base = ms; // the block's first line sets its base
    store(m_size - 1, ms);
}

void ArrivalTimes::store(qsizetype row, qint64 ms)
{
    const qint64 offset = ms - m_blocks[size_t(row / kBlockLines)].base;
    const quint32 packed =
        offset >= 0 && offset < qint64(kOutOfRange) ? quint32(offset) : kOutOfRange;
    if (packed == kOutOfRange)
        m_outliers[row] = ms;
    else if (!m_outliers.empty())
        m_outliers.erase(row);
    quint8 *out = offsetAt(row);
    out[0] = quint8(packed);
    out[1] = quint8(packed >> 8);
    out[2] = quint8(packed >> 16);
}

qint64 ArrivalTimes::at(qsizetype row) const
{
    const quint8 *in = offsetAt(row);
    const quint32 packed = quint32(in[0]) | quint32(in[1]) << 8 | quint32(in[2]) << 16;
    if (packed == kOutOfRange)
        return m_outliers.at(row);
    return m_blocks[size_t(row / kBlockLines)].base + packed;
}

void ArrivalTimes::clear()
{
    std::vector<Block>().swap(m_blocks);
    m_outliers.clear();
    m_size = 0;
}

qsizetype ArrivalTimes::memoryBytes() const
{
    constexpr qsizetype kOutlierBytes = 32; // key, value and the hash node around them
    return qsizetype(m_blocks.capacity() * sizeof(Block)) +
           qsizetype(m_blocks.size()) * kBlockLines * 3 +
           qsizetype(m_outliers.size()) * kOutlierBytes;
}

} // namespace zorvane::terminal
