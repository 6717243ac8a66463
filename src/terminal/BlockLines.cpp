#include "BlockLines.h"

#include <cstring>

namespace zorvane::terminal {

namespace {

void putNumber(std::vector<char> &out, quint64 v)
{
    while (v >= 0x80) {
        out.push_back(char(quint8(v) | 0x80));
        v >>= 7;
    }
    out.push_back(char(quint8(v)));
}

// Reads one number; false when the bytes end first or it runs past 64 bits.
bool takeNumber(const char *&at, const char *end, quint64 &v)
{
    v = 0;
    for (int shift = 0; shift < 64 && at < end; shift += 7) {
        const quint8 b = quint8(*at++);
        v |= quint64(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

quint64 zigzag(qint64 v)
{
    return (quint64(v) << 1) ^ quint64(v >> 63);
}

qint64 unzigzag(quint64 v)
{
    return qint64(v >> 1) ^ -qint64(v & 1);
}

struct Header
{
    quint32 used;
    quint32 lines;
    quint32 wide;
};

} // namespace

qsizetype BlockLines::memoryBytes() const
{
    return qsizetype(capacity) + qsizetype(starts.capacity() * sizeof(quint32)) +
           qsizetype(times.capacity() * sizeof(qint64)) +
           qsizetype(wide.capacity() * sizeof(quint32));
}

std::vector<char> BlockLines::pack() const
{
    std::vector<char> out;
    out.reserve(sizeof(Header) + used + starts.size() * 2 + 16);
    const Header header{used, quint32(starts.size()), quint32(wide.size())};
    out.resize(sizeof header);
    std::memcpy(out.data(), &header, sizeof header);
    out.insert(out.end(), text.get(), text.get() + used);
    for (qsizetype i = 0; i < count(); ++i)
        putNumber(out, quint64(length(i)));
    qint64 previous = 0;
    for (const qint64 t : times) {
        putNumber(out, zigzag(t - previous));
        previous = t;
    }
    quint32 previousWide = 0;
    for (const quint32 w : wide) {
        putNumber(out, w - previousWide);
        previousWide = w;
    }
    return out;
}

std::unique_ptr<BlockLines> BlockLines::unpack(const char *bytes, size_t size)
{
    Header header{};
    if (size < sizeof header)
        return nullptr;
    std::memcpy(&header, bytes, sizeof header);
    const char *at = bytes + sizeof header;
    const char *const end = bytes + size;
    if (quint64(end - at) < header.used)
        return nullptr;
    auto lines = std::make_unique<BlockLines>();
    lines->text = std::make_unique_for_overwrite<char[]>(std::max<quint32>(header.used, 1));
    std::memcpy(lines->text.get(), at, header.used);
    lines->used = lines->capacity = header.used;
    at += header.used;
    // Every line takes at least one byte of length and one of time.
    if (quint64(end - at) < 2 * quint64(header.lines) + header.wide)
        return nullptr;
    lines->starts.resize(header.lines);
    lines->times.resize(header.lines);
    lines->wide.resize(header.wide);
    quint64 offset = 0;
    quint64 v = 0;
    for (quint32 &start : lines->starts) {
        if (!takeNumber(at, end, v) || offset + v > header.used)
            return nullptr;
        start = quint32(offset);
        offset += v;
    }
    if (offset != header.used)
        return nullptr;
    qint64 t = 0;
    for (qint64 &time : lines->times) {
        if (!takeNumber(at, end, v))
            return nullptr;
        t += unzigzag(v);
        time = t;
    }
    quint64 w = 0;
    for (quint32 &row : lines->wide) {
        if (!takeNumber(at, end, v) || (w += v) >= header.lines)
            return nullptr;
        row = quint32(w);
    }
    return at == end ? std::move(lines) : nullptr;
}

} // namespace zorvane::terminal
