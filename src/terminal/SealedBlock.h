#pragma once

#include <QtGlobal>

#include <memory>
#include <mutex>

namespace zorvane::terminal {

// The text of a full block of lines that no longer changes. It starts plain and is replaced
// by its zstd-compressed form off the GUI thread; readers on any thread get the plain bytes
// back, shared while they are still at hand and decompressed afresh once they are not.
class SealedBlock
{
public:
    SealedBlock(std::unique_ptr<char[]> plain, quint32 size);

    quint32 size() const { return m_size; }
    // The block's plain bytes, valid while the pointer is held.
    std::shared_ptr<const char[]> bytes() const;
    // Compresses the block and lets the plain copy go; does nothing a second time.
    void compress();
    bool isCompressed() const;
    // Bytes the block holds now: the plain text until it is compressed, then the packed form.
    qsizetype memoryBytes() const;

private:
    const quint32 m_size;
    mutable std::mutex m_mutex;
    std::shared_ptr<const char[]> m_plain;
    std::unique_ptr<char[]> m_packed;
    size_t m_packedSize = 0;
};

} // namespace zorvane::terminal
