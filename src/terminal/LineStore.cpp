#include "LineStore.h"

#include "SealingQueue.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zorvane::terminal {

namespace {
// Large enough that a new block is rare and compresses well, small enough that the open block
// costs little and a sealed one comes back within a fraction of a millisecond.
constexpr quint32 kBlockBytes = 256u * 1024;
constexpr quint64 kMaxLineBytes = std::numeric_limits<quint32>::max() / 2;


QString decoded(QByteArrayView bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}
} // namespace

LineStore::LineStore() = default;
LineStore::~LineStore() = default;

qint64 LineStore::systemClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void LineStore::stampIfEmpty()
{
    if (length(size() - 1) == 0)
        m_times.setLast(now());
}

const char *LineStore::blockBytes(quint32 block) const
{
    const Block &b = m_blocks[block];
    if (!b.sealed)
        return b.data.get();
    CacheEntry *oldest = &m_cache[0];
    for (CacheEntry &entry : m_cache) {
        if (entry.block == block) {
            entry.lastUse = ++m_cacheUse;
            return entry.bytes.get();
        }
        if (entry.lastUse < oldest->lastUse)
            oldest = &entry;
    }
    oldest->bytes.reset(); // the evicted block goes before the new one comes
    oldest->bytes = b.sealed->bytes();
    oldest->block = block;
    oldest->lastUse = ++m_cacheUse;
    return oldest->bytes.get();
}

QByteArrayView LineStore::lineBytes(qsizetype row) const
{
    const quint64 e = m_entries[static_cast<size_t>(row)];
    return {blockBytes(blockOf(e)) + offsetOf(e), length(row)};
}

QByteArrayView LineStore::Reader::lineBytes(qsizetype row)
{
    const quint64 e = m_lines.m_entries[static_cast<size_t>(row)];
    const quint32 block = blockOf(e);
    const Block &b = m_lines.m_blocks[block];
    const qsizetype len = m_lines.length(row);
    if (!b.sealed)
        return {b.data.get() + offsetOf(e), len};
    if (block != m_block) {
        m_bytes.reset();
        // A block the store's own cache holds is not decompressed again.
        for (const CacheEntry &entry : m_lines.m_cache) {
            if (entry.block == block)
                m_bytes = entry.bytes;
        }
        if (!m_bytes)
            m_bytes = b.sealed->bytes();
        m_block = block;
    }
    return {m_bytes.get() + offsetOf(e), len};
}

QByteArrayView LineStore::Reader::span(qsizetype first, qsizetype end)
{
    const QByteArrayView start = lineBytes(first);
    const quint64 last = m_lines.m_entries[static_cast<size_t>(end - 1)];
    const qsizetype size = offsetOf(last) + m_lines.length(end - 1) -
                           offsetOf(m_lines.m_entries[static_cast<size_t>(first)]);
    return {start.data(), size};
}

std::optional<QByteArrayView> LineStore::Reader::latin1(qsizetype row)
{
    if (m_lines.m_entries[static_cast<size_t>(row)] & kUtf8Flag)
        return std::nullopt;
    return lineBytes(row);
}

QString LineStore::Reader::text(qsizetype row)
{
    return decoded(lineBytes(row), m_lines.m_entries[static_cast<size_t>(row)] & kUtf8Flag);
}

qsizetype LineStore::blockEnd(qsizetype row) const
{
    const quint32 block = blockOf(m_entries[static_cast<size_t>(row)]);
    const auto after = std::upper_bound(
        m_entries.begin() + row, m_entries.end(), block,
        [](quint32 b, quint64 e) { return b < blockOf(e); });
    return after - m_entries.begin();
}

bool LineStore::isSealed(qsizetype row) const
{
    return m_blocks[blockOf(m_entries[static_cast<size_t>(row)])].sealed != nullptr;
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
    return decoded(lineBytes(row), m_entries[static_cast<size_t>(row)] & kUtf8Flag);
}

QString LineStore::text(qsizetype row, qsizetype from, qsizetype count) const
{
    const qsizetype len = length(row);
    if (m_entries[static_cast<size_t>(row)] & kUtf8Flag)
        return text(row).mid(from, count);
    if (from >= len || count <= 0)
        return {};
    return QString::fromLatin1(lineBytes(row).sliced(from, std::min(count, len - from)));
}

std::optional<QByteArrayView> LineStore::latin1(qsizetype row) const
{
    if (m_entries[static_cast<size_t>(row)] & kUtf8Flag)
        return std::nullopt;
    return lineBytes(row);
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
        pushBlock(std::move(block));
    }
    const quint64 blockIndex = m_blocks.size() - 1;
    m_entries.push_back((blockIndex << kBlockShift) | m_blocks.back().used);
    m_times.append(at);
    if (!text.isEmpty())
        appendToLast(text);
}

void LineStore::pushBlock(Block block)
{
    if (!m_blocks.empty()) {
        Block &full = m_blocks.back();
        full.sealed = std::make_shared<SealedBlock>(std::move(full.data), full.used);
        full.capacity = 0;
        if (!m_sealer)
            m_sealer = std::make_unique<SealingQueue>();
        m_sealer->push(full.sealed);
    }
    m_blocks.push_back(std::move(block));
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
            pushBlock(std::move(fresh));
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
    m_cache = {};
    m_times.clear();
    ++m_generation;
#ifdef __GLIBC__
    // Freed blocks sit in the allocator's free lists, many in the compressing thread's arena;
    // this hands them back to the system, so the resident size falls after a Clear.
    malloc_trim(0);
#endif
}

void LineStore::settle()
{
    if (m_sealer)
        m_sealer->settle();
}

qsizetype LineStore::memoryBytes() const
{
    // A deque keeps its entries in 512-byte chunks and one pointer per chunk in its map.
    constexpr qsizetype kChunkEntries = 512 / sizeof(quint64);
    const auto chunks = static_cast<qsizetype>(m_entries.size() / kChunkEntries + 1);
    qsizetype bytes = chunks * (512 + static_cast<qsizetype>(sizeof(void *)));
    bytes += qsizetype(m_blocks.capacity() * sizeof(Block));
    for (const Block &b : m_blocks)
        bytes += b.sealed ? b.sealed->memoryBytes() : qsizetype(b.capacity);
    for (const CacheEntry &entry : m_cache)
        bytes += entry.bytes ? qsizetype(m_blocks[entry.block].used) : 0;
    return bytes + m_times.memoryBytes();
}

} // namespace zorvane::terminal
