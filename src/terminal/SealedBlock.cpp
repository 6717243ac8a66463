#include "SealedBlock.h"

#include <zstd.h>

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

} // namespace

SealedBlock::SealedBlock(std::unique_ptr<char[]> plain, quint32 size)
    : m_size(size), m_plain(size > 0 ? std::move(plain) : nullptr)
{
}

std::shared_ptr<const char[]> SealedBlock::bytes() const
{
    const char *packed = nullptr;
    size_t packedSize = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_plain || m_size == 0)
            return m_plain;
        packed = m_packed.get();
        packedSize = m_packedSize;
    }
    // The packed form never changes once made, so it is read without the lock.
    auto out = std::make_unique_for_overwrite<char[]>(m_size);
    const size_t got =
        ZSTD_decompressDCtx(decompressionContext(), out.get(), m_size, packed, packedSize);
    // Only damaged memory gets here: the block was made by this process and never changes.
    if (ZSTD_isError(got) || got != m_size)
        qFatal("A sealed block of terminal lines does not decompress: %s",
               ZSTD_isError(got) ? ZSTD_getErrorName(got) : "short");
    return std::shared_ptr<const char[]>(std::move(out));
}

void SealedBlock::compress()
{
    std::shared_ptr<const char[]> plain;
    {
        std::lock_guard lock(m_mutex);
        if (!m_plain || m_size == 0)
            return;
        plain = m_plain;
    }
    thread_local std::vector<char> scratch;
    scratch.resize(ZSTD_compressBound(m_size));
    const size_t packedSize = ZSTD_compressCCtx(compressionContext(), scratch.data(),
                                                scratch.size(), plain.get(), m_size, kLevel);
    if (ZSTD_isError(packedSize))
        return; // stays plain: nothing is lost, it only costs more room
    auto packed = std::make_unique_for_overwrite<char[]>(packedSize);
    std::memcpy(packed.get(), scratch.data(), packedSize);
    // A block grown for one very long line is rare: its scratch room is not kept.
    if (scratch.size() > 4 * 1024 * 1024)
        std::vector<char>().swap(scratch);
    std::lock_guard lock(m_mutex);
    m_packed = std::move(packed);
    m_packedSize = packedSize;
    m_plain.reset();
}

bool SealedBlock::isCompressed() const
{
    std::lock_guard lock(m_mutex);
    return m_packed != nullptr;
}

qsizetype SealedBlock::memoryBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_plain ? qsizetype(m_size) : qsizetype(m_packedSize);
}

} // namespace zorvane::terminal
