#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>

namespace zorvane::terminal {

// Received bytes as rows in the layout of `hexdump -C`: the offset within the block in eight
// hexadecimal digits, sixteen bytes in hex with an extra space after the eighth, and the
// printable ASCII between bars ("00000000  41 54 0d 0a  ...  |AT..|"). Collects the bytes of
// the row being filled and counts the block's offset; a block ends after a pause, or where a
// packet starts, and the next one counts from 0 again.
class HexDump
{
public:
    static constexpr int kRowBytes = 16;
    // A pause this long without bytes ends the block.
    static constexpr qint64 kBlockGapMs = 20;
    static constexpr qint64 kBlockGapNs = kBlockGapMs * 1'000'000;
    // The longest row: an offset of sixteen digits, the hex columns and the ASCII between bars.
    static constexpr qsizetype kMaxRowChars = 16 + 2 + 3 * kRowBytes + 1 + 1 + kRowBytes + 2;

    // Writes the row for up to kRowBytes bytes at `offset` into `out` (kMaxRowChars long) and
    // returns its length.
    static qsizetype formatRow(char *out, quint64 offset, const unsigned char *bytes, int count);
    static QByteArray row(quint64 offset, QByteArrayView bytes);
    // Every row of one block.
    static QByteArrayList rows(QByteArrayView bytes);

    // Adds a byte to the row being filled; true once the row is full.
    bool add(unsigned char byte)
    {
        m_row[m_count++] = byte;
        return m_count == kRowBytes;
    }
    // Bytes wait for their row.
    bool holdsBytes() const { return m_count > 0; }
    // The row of the bytes added so far, which then counts as written; valid until the next
    // call.
    QByteArrayView takeRow();
    // The next byte starts a block of its own, at offset 0. Bytes still held stay for the caller
    // to take first.
    void endBlock() { m_offset = 0; }
    bool inBlock() const { return m_offset > 0 || m_count > 0; }

private:
    unsigned char m_row[kRowBytes] = {};
    int m_count = 0;
    quint64 m_offset = 0;
    char m_text[kMaxRowChars] = {};
};

} // namespace zorvane::terminal
