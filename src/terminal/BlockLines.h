#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <vector>

namespace zorvane::terminal {

// The lines of one block: their bytes one after another, where each starts, when each
// arrived and which are held as UTF-8. The open block grows in this form; a sealed one is
// packed into one compressed run of bytes and unpacked into it again for reading.
struct BlockLines
{
    std::unique_ptr<char[]> text;
    quint32 used = 0;
    quint32 capacity = 0;
    std::vector<quint32> starts;
    std::vector<qint64> times;
    // Lines (index in the block) held as UTF-8 because they hold a character above 255; only
    // the last line ever becomes one, so the list stays in order.
    std::vector<quint32> wide;

    qsizetype count() const { return qsizetype(starts.size()); }
    qsizetype length(qsizetype i) const
    {
        const size_t next = size_t(i) + 1;
        return (next < starts.size() ? starts[next] : used) - starts[size_t(i)];
    }
    QByteArrayView bytes(qsizetype i) const { return {text.get() + starts[size_t(i)], length(i)}; }
    bool isWide(qsizetype i) const
    {
        return !wide.empty() && std::binary_search(wide.begin(), wide.end(), quint32(i));
    }
    // Bytes held, the spare room of growing vectors included.
    qsizetype memoryBytes() const;

    // One run of bytes holding everything above: a small header, the text, then the lengths
    // and times as variable-length numbers (times as differences, which a steady or fast
    // stream makes small and alike, so they compress to little).
    std::vector<char> pack() const;
    // The lines back from `pack`'s bytes; nothing when they do not hold a whole block.
    static std::unique_ptr<BlockLines> unpack(const char *bytes, size_t size);
};

} // namespace zorvane::terminal
