#pragma once

#include "terminal/BlockLines.h"

#include <QString>

#include <memory>
#include <mutex>

namespace zorvane::terminal {

class SpillFile;

// A full block of lines that no longer changes. It starts plain and is replaced by one
// zstd-compressed run of bytes (text, line lengths and arrival times together) off the GUI
// thread; past the memory budget that run moves to a spill file. Readers on any thread get
// the lines back, shared while the plain form is still at hand, else unpacked afresh.
class SealedBlock
{
public:
    explicit SealedBlock(std::shared_ptr<const BlockLines> plain);

    qsizetype count() const { return m_count; }
    // The block's lines, valid while the pointer is held.
    std::shared_ptr<const BlockLines> lines() const;
    // Compresses the block and lets the plain form go; does nothing a second time.
    void compress();
    // Moves the compressed form to the file. False, with the reason, when the file did not
    // take it: the block then stays in memory as it was.
    bool spill(const std::shared_ptr<SpillFile> &file, QString *error);
    bool isCompressed() const;
    bool isSpilled() const;
    // Bytes the block holds in memory now: the plain form, the packed one, or none once
    // spilled.
    qsizetype memoryBytes() const;

private:
    const qsizetype m_count;
    mutable std::mutex m_mutex;
    std::shared_ptr<const BlockLines> m_plain;
    std::shared_ptr<const char[]> m_packed;
    size_t m_packedSize = 0;
    size_t m_unpackedSize = 0;
    std::shared_ptr<SpillFile> m_file;
    quint64 m_fileOffset = 0;
};

} // namespace zorvane::terminal
