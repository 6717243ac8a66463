#include "LineStore.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>
#include <limits>

namespace zorvane::terminal {

namespace {
// Large enough that a new block is rare, small enough that a half-used last block costs little.
constexpr quint32 kBlockBytes = 1u << 20;
constexpr quint64 kMaxLineBytes = std::numeric_limits<quint32>::max() / 2;
} // namespace

qint64 LineStore::systemClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void LineStore::stampIfEmpty()
{
    if (length(size() - 1) == 0)
        m_times.setLast(now());
}

const char *LineStore::lineData(qsizetype row) const
{
    const quint64 e = m_entries[static_cast<size_t>(row)];
    return m_blocks[blockOf(e)].data.get() + offsetOf(e);
}

qsizetype LineStore::length(qsizetype row) const
{
    const quint64 e = m_entries[static_cast<size_t>(row)];
    const quint32 block = blockOf(e);
    const size_t next = static_cast<size_t>(row) + 1;
    // A line ends where the next line of its block starts, or at the block's end.
    if (next < m_entries.size() && blockOf(m_entries[next]) == block)
        return offsetOf(m_entries[next]) - offsetOf(e);
    return m_blocks[block].used - offsetOf(e);
}

QString LineStore::text(qsizetype row) const
{
    const char *data = lineData(row);
    const qsizetype len = length(row);
    if (m_entries[static_cast<size_t>(row)] & kUtf8Flag)
        return QString::fromUtf8(data, len);
    return QString::fromLatin1(data, len);
}

QString LineStore::text(qsizetype row, qsizetype from, qsizetype count) const
{
    const qsizetype len = length(row);
    if (m_entries[static_cast<size_t>(row)] & kUtf8Flag)
        return text(row).mid(from, count);
    if (from >= len || count <= 0)
        return {};
    return QString::fromLatin1(lineData(row) + from, std::min(count, len - from));
}

std::optional<QByteArrayView> LineStore::latin1(qsizetype row) const
{
    if (m_entries[static_cast<size_t>(row)] & kUtf8Flag)
        return std::nullopt;
    return QByteArrayView(lineData(row), length(row));
}

void LineStore::addLine(QStringView text)
{
    const qint64 at = now();
    // A line that ends before it holds anything got its first byte, the line end, now.
    if (!m_entries.empty() && length(size() - 1) == 0)
        m_times.setLast(at);
    if (m_blocks.empty() || m_blocks.back().used == m_blocks.back().capacity) {
        Block block;
        block.capacity = kBlockBytes;
        block.data = std::make_unique_for_overwrite<char[]>(block.capacity);
        m_blocks.push_back(std::move(block));
    }
    const quint64 blockIndex = m_blocks.size() - 1;
    m_entries.push_back((blockIndex << kBlockShift) | m_blocks.back().used);
    m_times.append(at);
    if (!text.isEmpty())
        appendToLast(text);
}

void LineStore::ensureLastLine()
{
    if (m_entries.empty())
        addLine({});
}

char *LineStore::reserveInLastLine(qsizetype extra)
{
    quint64 &e = m_entries.back();
    Block *block = &m_blocks[blockOf(e)];
    const quint32 start = offsetOf(e);
    const quint64 len = block->used - start;
    if (len + extra > kMaxLineBytes) {
        // A line without end beyond this size continues on a new line.
        addLine({});
        return reserveInLastLine(std::min<qsizetype>(extra, kMaxLineBytes));
    }
    if (block->used + quint64(extra) > block->capacity) {
        // The last line moves to a fresh block; doubling keeps a growing line amortised O(1).
        Block fresh;
        fresh.capacity = static_cast<quint32>(
            std::min<quint64>(std::max<quint64>(kBlockBytes, (len + extra) * 2),
                              std::numeric_limits<quint32>::max()));
        fresh.data = std::make_unique_for_overwrite<char[]>(fresh.capacity);
        std::memcpy(fresh.data.get(), block->data.get() + start, len);
        fresh.used = static_cast<quint32>(len);
        block->used = start;
        const bool reuse = block->used == 0 && blockOf(e) + 1 == m_blocks.size();
        if (reuse) {
            *block = std::move(fresh);
        } else {
            m_blocks.push_back(std::move(fresh));
            const quint64 blockIndex = m_blocks.size() - 1;
            e = (e & ~((quint64(1) << kFlagShift) - 1)) | (blockIndex << kBlockShift);
        }
        block = &m_blocks[blockOf(e)];
    }
    char *out = block->data.get() + block->used;
    block->used += static_cast<quint32>(extra);
    return out;
}

void LineStore::appendBytes(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qsizetype part = std::min<qsizetype>(bytes.size() - done, kMaxLineBytes);
        std::memcpy(reserveInLastLine(part), bytes.data() + done, part);
        done += part;
    }
}

void LineStore::appendToLast(QByteArrayView latin1)
{
    ensureLastLine();
    if (latin1.isEmpty())
        return;
    stampIfEmpty();
    if (m_entries.back() & kUtf8Flag)
        appendBytes(QString::fromLatin1(latin1).toUtf8());
    else
        appendBytes(latin1);
}

void LineStore::appendToLast(QStringView text)
{
    ensureLastLine();
    if (text.isEmpty())
        return;
    stampIfEmpty();
    const bool utf8 = m_entries.back() & kUtf8Flag;
    if (!utf8 && appendNarrowed(text))
        return;
    const bool wide =
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
    if (!wide && !utf8) {
        appendBytes(text.toLatin1());
        return;
    }
    if (!utf8)
        convertLastLineToUtf8();
    appendBytes(text.toUtf8());
}

// The common case: writes a short Latin-1 text straight into the last line without a
// temporary. Leaves the line as it was and returns false when a character needs more than
// one byte or the text is too long for this path.
bool LineStore::appendNarrowed(QStringView text)
{
    constexpr qsizetype kMaxDirect = 64 * 1024;
    if (text.size() > kMaxDirect ||
        quint64(length(size() - 1)) + quint64(text.size()) > kMaxLineBytes)
        return false;
    char *out = reserveInLastLine(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0xFF) {
            m_blocks[blockOf(m_entries.back())].used -= static_cast<quint32>(text.size());
            return false;
        }
        out[i] = static_cast<char>(c);
    }
    return true;
}

void LineStore::convertLastLineToUtf8()
{
    const qsizetype row = size() - 1;
    const QByteArray utf8 = text(row).toUtf8();
    quint64 &e = m_entries.back();
    m_blocks[blockOf(e)].used = offsetOf(e);
    e |= kUtf8Flag;
    appendBytes(utf8);
}

void LineStore::clear()
{
    // Swapped out rather than cleared so the memory goes back at once.
    std::deque<quint64>().swap(m_entries);
    std::vector<Block>().swap(m_blocks);
    m_times.clear();
    ++m_generation;
}

qsizetype LineStore::memoryBytes() const
{
    // A deque keeps its entries in 512-byte chunks and one pointer per chunk in its map.
    constexpr qsizetype kChunkEntries = 512 / sizeof(quint64);
    const auto chunks = static_cast<qsizetype>(m_entries.size() / kChunkEntries + 1);
    qsizetype bytes = chunks * (512 + static_cast<qsizetype>(sizeof(void *)));
    for (const Block &b : m_blocks)
        bytes += b.capacity;
    return bytes + m_times.memoryBytes();
}

} // namespace zorvane::terminal
