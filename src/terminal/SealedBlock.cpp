#include "SealedBlock.h"

#include "SpillFile.h"

#include <zstd.h>

#include <QDebug>

#include <cstring>
#include <vector>

namespace zorvane::terminal {

namespace {

// Level 1: text of a chatty module packs about four to one at over 200 MB/s, so one
// background thread keeps up with any serial link.
constexpr int kLevel = 1;

struct ContextFree
{
    void operator()(ZSTD_CCtx *c) const { ZSTD_freeCCtx(c); }
    void operator()(ZSTD_DCtx *d) const { ZSTD_freeDCtx(d); }
};

// One context per thread saves its allocation on every block.
ZSTD_CCtx *compressionContext()
{
    thread_local std::unique_ptr<ZSTD_CCtx, ContextFree> context(ZSTD_createCCtx());
    return context.get();
}

ZSTD_DCtx *decompressionContext()
{
    thread_local std::unique_ptr<ZSTD_DCtx, ContextFree> context(ZSTD_createDCtx());
    return context.get();
}

// Scratch room reused by each thread; a block grown for one very long line is rare, so its
// room is not kept.
void release(std::vector<char> &scratch)
{
    if (scratch.capacity() > 4 * 1024 * 1024)
        std::vector<char>().swap(scratch);
}

} // namespace

SealedBlock::SealedBlock(std::shared_ptr<const BlockLines> plain)
    : m_count(plain->count()), m_plain(std::move(plain))
{
}

std::shared_ptr<const BlockLines> SealedBlock::lines() const
{
    std::shared_ptr<const char[]> packed;
    std::shared_ptr<SpillFile> file;
    {
        std::lock_guard lock(m_mutex);
        if (m_plain)
            return m_plain;
        packed = m_packed;
        file = m_file;
    }
    thread_local std::vector<char> fromFile;
    const char *source = packed.get();
    if (!packed) {
        fromFile.resize(m_packedSize);
        source = fromFile.data();
        if (!file->read(m_fileOffset, fromFile.data(), m_packedSize)) {
            // The disk failed under the file: the lines are shown empty rather than not at all.
            qWarning("Older terminal lines could not be read back from the spill file");
            auto empty = std::make_shared<BlockLines>();
            empty->text = std::make_unique<char[]>(1);
            empty->starts.assign(size_t(m_count), 0);
            empty->times.assign(size_t(m_count), 0);
            return empty;
        }
    }
    thread_local std::vector<char> scratch;
    scratch.resize(m_unpackedSize);
    const size_t got = ZSTD_decompressDCtx(decompressionContext(), scratch.data(), scratch.size(),
                                           source, m_packedSize);
    // Only damaged memory or disk gets past these: the block was made by this process.
    if (ZSTD_isError(got) || got != m_unpackedSize)
        qFatal("A sealed block of terminal lines does not decompress: %s",
               ZSTD_isError(got) ? ZSTD_getErrorName(got) : "short");
    std::shared_ptr<const BlockLines> lines = BlockLines::unpack(scratch.data(), got);
    if (!lines || lines->count() != m_count)
        qFatal("A sealed block of terminal lines does not unpack");
    release(scratch);
    release(fromFile);
    return lines;
}

void SealedBlock::compress()
{
    std::shared_ptr<const BlockLines> plain;
    {
        std::lock_guard lock(m_mutex);
        if (!m_plain)
            return;
        plain = m_plain;
    }
    const std::vector<char> unpacked = plain->pack();
    thread_local std::vector<char> scratch;
    scratch.resize(ZSTD_compressBound(unpacked.size()));
    const size_t packedSize = ZSTD_compressCCtx(compressionContext(), scratch.data(),
                                                scratch.size(), unpacked.data(),
                                                unpacked.size(), kLevel);
    if (ZSTD_isError(packedSize))
        return; // stays plain: nothing is lost, it only costs more room
    auto packed = std::make_unique_for_overwrite<char[]>(packedSize);
    std::memcpy(packed.get(), scratch.data(), packedSize);
    release(scratch);
    std::lock_guard lock(m_mutex);
    m_packed = std::move(packed);
    m_packedSize = packedSize;
    m_unpackedSize = unpacked.size();
    m_plain.reset();
}

bool SealedBlock::spill(const std::shared_ptr<SpillFile> &file, QString *error)
{
    std::shared_ptr<const char[]> packed;
    {
        std::lock_guard lock(m_mutex);
        if (!m_packed)
            return true; // not compressed (nothing to gain) or already out
        packed = m_packed;
    }
    const std::optional<quint64> at = file->append(packed.get(), m_packedSize, error);
    if (!at)
        return false;
    std::lock_guard lock(m_mutex);
    m_file = file;
    m_fileOffset = *at;
    m_packed.reset();
    return true;
}

bool SealedBlock::isCompressed() const
{
    std::lock_guard lock(m_mutex);
    return !m_plain;
}

bool SealedBlock::isSpilled() const
{
    std::lock_guard lock(m_mutex);
    return m_file != nullptr;
}

qsizetype SealedBlock::memoryBytes() const
{
    std::lock_guard lock(m_mutex);
    if (m_plain)
        return m_plain->memoryBytes();
    return m_packed ? qsizetype(m_packedSize) : 0;
}

} // namespace zorvane::terminal
