#include "LineStore.h"

#include "SealingQueue.h"

#include <QDateTime>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace zorvane::terminal {

namespace {
// Large enough that a new block is rare and packs well, small enough that the open block
// costs little and a sealed one comes back within a fraction of a millisecond.
constexpr quint32 kBlockBytes = 256u * 1024;
// Empty or very short lines fill a block's text slowly; their starts and times must not
// make an open or unpacked block large.
constexpr qsizetype kBlockLines = 32 * 1024;
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

void LineStore::setSpill(qint64 budget, const QString &folder)
{
    m_spillBudget = budget;
    m_spillFolder = folder;
}

void LineStore::setSpillMegabytes(int mb)
{
    if (mb < 0)
        setSpill(kDefaultSpillBudget, m_spillFolder);
    else
        setSpill(mb == 0 ? -1 : qint64(mb) * 1024 * 1024, m_spillFolder);
}

int LineStore::spillMegabytes() const
{
    return m_spillBudget < 0 ? 0 : int(m_spillBudget / (1024 * 1024));
}

std::optional<QString> LineStore::takeSpillNotice()
{
    if (!m_spillNotice && m_sealer)
        m_spillNotice = m_sealer->takeTrouble();
    if (m_spillNotice)
        m_spillOff = true;
    return std::exchange(m_spillNotice, std::nullopt);
}

void LineStore::stampIfEmpty()
{
    if (lastLength() == m_lastLead)
        m_open->times.back() = now();
}

size_t LineStore::sealedIndex(qsizetype row) const
{
    const auto after =
        std::upper_bound(m_sealed.begin(), m_sealed.end(), row,
                         [](qsizetype r, const Sealed &s) { return r < s.firstRow; });
    return size_t(after - m_sealed.begin()) - 1;
}

const BlockLines *LineStore::cached(size_t block) const
{
    CacheEntry *oldest = &m_cache[0];
    for (CacheEntry &entry : m_cache) {
        if (entry.block == block) {
            entry.lastUse = ++m_cacheUse;
            return entry.lines.get();
        }
        if (entry.lastUse < oldest->lastUse)
            oldest = &entry;
    }
    oldest->lines.reset(); // the evicted block goes before the new one comes
    oldest->lines = m_sealed[block].block->lines();
    oldest->block = block;
    oldest->lastUse = ++m_cacheUse;
    return oldest->lines.get();
}

std::pair<const BlockLines *, qsizetype> LineStore::place(qsizetype row) const
{
    if (row >= m_openFirst)
        return {m_open.get(), row - m_openFirst};
    // Rows are mostly read near the one read before.
    size_t b = m_lastSealed;
    if (b >= m_sealed.size() || row < m_sealed[b].firstRow ||
        (b + 1 < m_sealed.size() && row >= m_sealed[b + 1].firstRow))
        b = m_lastSealed = sealedIndex(row);
    return {cached(b), row - m_sealed[b].firstRow};
}

std::pair<const BlockLines *, qsizetype> LineStore::Reader::place(qsizetype row)
{
    if (row >= m_lines.m_openFirst)
        return {m_lines.m_open.get(), row - m_lines.m_openFirst};
    if (row < m_first || row >= m_end || !m_block) {
        const size_t b = m_lines.sealedIndex(row);
        m_block.reset();
        // A block the store's own cache holds is not unpacked again.
        for (const CacheEntry &entry : m_lines.m_cache) {
            if (entry.block == b)
                m_block = entry.lines;
        }
        if (!m_block)
            m_block = m_lines.m_sealed[b].block->lines();
        m_first = m_lines.m_sealed[b].firstRow;
        m_end = m_first + m_block->count();
    }
    return {m_block.get(), row - m_first};
}

QByteArrayView LineStore::Reader::span(qsizetype first, qsizetype end)
{
    const auto [block, i] = place(first);
    const qsizetype last = i + (end - 1 - first);
    const qsizetype from = block->starts[size_t(i)];
    return {block->text.get() + from, block->starts[size_t(last)] + block->length(last) - from};
}

qsizetype LineStore::Reader::length(qsizetype row)
{
    const auto [block, i] = place(row);
    return block->length(i);
}

bool LineStore::Reader::isWide(qsizetype row)
{
    const auto [block, i] = place(row);
    return block->isWide(i);
}

std::optional<QByteArrayView> LineStore::Reader::latin1(qsizetype row)
{
    const auto [block, i] = place(row);
    if (block->isWide(i))
        return std::nullopt;
    return block->bytes(i);
}

QString LineStore::Reader::text(qsizetype row)
{
    const auto [block, i] = place(row);
    return decoded(block->bytes(i), block->isWide(i));
}

qsizetype LineStore::blockEnd(qsizetype row) const
{
    if (row >= m_openFirst)
        return size();
    const size_t b = sealedIndex(row);
    return b + 1 < m_sealed.size() ? m_sealed[b + 1].firstRow : m_openFirst;
}

bool LineStore::isSpilled(qsizetype row) const
{
    return row < m_openFirst && m_sealed[sealedIndex(row)].block->isSpilled();
}

bool LineStore::isWide(qsizetype row) const
{
    // Wide lines are rare: a block without any is not unpacked to learn it.
    if (row < m_openFirst && !m_sealed[sealedIndex(row)].anyWide)
        return false;
    const auto [block, i] = place(row);
    return block->isWide(i);
}

qsizetype LineStore::length(qsizetype row) const
{
    if (row < m_openFirst && row + 1 == blockEnd(row))
        return m_sealed[sealedIndex(row)].lastLength;
    const auto [block, i] = place(row);
    return block->length(i);
}

qsizetype LineStore::longestLength(qsizetype first, qsizetype end) const
{
    qsizetype longest = 0;
    for (qsizetype row = first; row < end && row < m_openFirst; row = blockEnd(row))
        longest = std::max(longest, m_sealed[sealedIndex(row)].longest);
    for (qsizetype row = std::max(first, m_openFirst); row < end; ++row)
        longest = std::max(longest, m_open->length(row - m_openFirst));
    return longest;
}

qint64 LineStore::arrivalMs(qsizetype row) const
{
    const auto [block, i] = place(row);
    return block->times[size_t(i)];
}

QString LineStore::text(qsizetype row) const
{
    const auto [block, i] = place(row);
    return decoded(block->bytes(i), block->isWide(i));
}

QString LineStore::text(qsizetype row, qsizetype from, qsizetype count) const
{
    const auto [block, i] = place(row);
    if (block->isWide(i))
        return decoded(block->bytes(i), true).mid(from, count);
    const qsizetype len = block->length(i);
    if (from >= len || count <= 0)
        return {};
    return QString::fromLatin1(block->bytes(i).sliced(from, std::min(count, len - from)));
}

std::optional<QByteArrayView> LineStore::latin1(qsizetype row) const
{
    const auto [block, i] = place(row);
    if (block->isWide(i))
        return std::nullopt;
    return block->bytes(i);
}

void LineStore::openBlock(quint32 capacity)
{
    if (m_open && m_open->count() > 0) {
        Sealed sealed;
        sealed.firstRow = m_openFirst;
        sealed.anyWide = !m_open->wide.empty();
        for (qsizetype i = 0; i < m_open->count(); ++i)
            sealed.longest = std::max(sealed.longest, m_open->length(i));
        sealed.lastLength = lastLength();
        m_openFirst += m_open->count();
        sealed.block = std::make_shared<SealedBlock>(std::move(m_open));
        if (!m_sealer) {
            QString folder = m_spillFolder;
            if (folder.isEmpty())
                folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
            m_sealer = std::make_unique<SealingQueue>(folder, m_spillOff ? -1 : m_spillBudget);
        }
        m_sealer->push(sealed.block);
        m_sealed.push_back(std::move(sealed));
    }
    m_open = std::make_shared<BlockLines>();
    m_open->capacity = capacity;
    m_open->text = std::make_unique_for_overwrite<char[]>(capacity);
}

void LineStore::addLine(QStringView text)
{
    const qint64 at = now();
    // A line that ends before it holds anything got its first byte, the line end, now.
    if (m_open && m_open->count() > 0 && lastLength() == m_lastLead)
        m_open->times.back() = at;
    m_lastLead = 0;
    if (!m_open || m_open->used == m_open->capacity || m_open->count() >= kBlockLines)
        openBlock(kBlockBytes);
    m_open->starts.push_back(m_open->used);
    m_open->times.push_back(at);
    if (!text.isEmpty())
        appendToLast(text);
}

void LineStore::addLineWithLead(QByteArrayView lead)
{
    addLine({});
    // Not stamped: the time the line is opened belongs to the line end before it.
    appendBytes(lead);
    m_lastLead = lead.size();
}

void LineStore::ensureLastLine()
{
    if (isEmpty())
        addLine({});
}

char *LineStore::reserveInLastLine(qsizetype extra)
{
    BlockLines *block = m_open.get();
    const quint32 start = block->starts.back();
    const quint64 len = block->used - start;
    if (len + extra > kMaxLineBytes) {
        // A line without end beyond this size continues on a new line.
        addLine({});
        return reserveInLastLine(std::min<qsizetype>(extra, kMaxLineBytes));
    }
    if (block->used + quint64(extra) > block->capacity) {
        // The last line moves to a fresh block; doubling keeps a growing line amortised O(1).
        const auto capacity = static_cast<quint32>(
            std::min<quint64>(std::max<quint64>(kBlockBytes, (len + extra) * 2),
                              std::numeric_limits<quint32>::max()));
        auto text = std::make_unique_for_overwrite<char[]>(capacity);
        std::memcpy(text.get(), block->text.get() + start, len);
        if (block->count() == 1) {
            // The line is the block's only one: the block itself grows.
            block->text = std::move(text);
            block->capacity = capacity;
        } else {
            const qint64 time = block->times.back();
            const quint32 row = quint32(block->count() - 1);
            const bool wide = !block->wide.empty() && block->wide.back() == row;
            block->starts.pop_back();
            block->times.pop_back();
            if (wide)
                block->wide.pop_back();
            block->used = start;
            openBlock(capacity);
            block = m_open.get();
            block->text = std::move(text);
            block->starts.push_back(0);
            block->times.push_back(time);
            if (wide)
                block->wide.push_back(0);
        }
        block->used = static_cast<quint32>(len); // the line now starts the block
    }
    char *out = block->text.get() + block->used;
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
    if (isWide(size() - 1))
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
    const bool utf8 = isWide(size() - 1);
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
    if (text.size() > kMaxDirect || quint64(lastLength()) + quint64(text.size()) > kMaxLineBytes)
        return false;
    char *out = reserveInLastLine(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c > 0xFF) {
            m_open->used -= static_cast<quint32>(text.size());
            return false;
        }
        out[i] = static_cast<char>(c);
    }
    return true;
}

void LineStore::convertLastLineToUtf8()
{
    const QByteArray utf8 = text(size() - 1).toUtf8();
    m_open->used = m_open->starts.back();
    m_open->wide.push_back(quint32(m_open->count() - 1));
    appendBytes(utf8);
}

void LineStore::clear()
{
    // A notice not yet shown outlives the lines; so does spilling being off after it.
    if (m_sealer && !m_spillNotice)
        m_spillNotice = m_sealer->takeTrouble();
    if (m_spillNotice)
        m_spillOff = true;
    // The compressing thread goes with the blocks and the spill file, which closing frees.
    m_sealer.reset();
    std::vector<Sealed>().swap(m_sealed);
    m_open.reset();
    m_openFirst = 0;
    m_lastLead = 0;
    m_cache = {};
    m_lastSealed = 0;
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
    qsizetype bytes = qsizetype(m_sealed.capacity() * sizeof(Sealed));
    for (const Sealed &s : m_sealed)
        bytes += s.block->memoryBytes() + qsizetype(sizeof(SealedBlock));
    if (m_open)
        bytes += m_open->memoryBytes();
    for (const CacheEntry &entry : m_cache)
        bytes += entry.lines ? entry.lines->memoryBytes() : 0;
    return bytes;
}

} // namespace zorvane::terminal
