#include "HexDump.h"

namespace zorvane::terminal {

namespace {
// The digits `hexdump -C` writes: lower case.
constexpr char kDigits[] = "0123456789abcdef";
} // namespace

qsizetype HexDump::formatRow(char *out, quint64 offset, const unsigned char *bytes, int count)
{
    char *at = out;
    int offsetDigits = 8;
    while (offsetDigits < 16 && (offset >> (4 * offsetDigits)) != 0)
        ++offsetDigits;
    for (int i = offsetDigits - 1; i >= 0; --i)
        *at++ = kDigits[(offset >> (4 * i)) & 0x0F];
    *at++ = ' ';
    for (int i = 0; i < kRowBytes; ++i) {
        if (i == kRowBytes / 2)
            *at++ = ' ';
        *at++ = ' ';
        if (i < count) {
            *at++ = kDigits[bytes[i] >> 4];
            *at++ = kDigits[bytes[i] & 0x0F];
        } else {
            *at++ = ' ';
            *at++ = ' ';
        }
    }
    *at++ = ' ';
    *at++ = ' ';
    *at++ = '|';
    for (int i = 0; i < count; ++i)
        *at++ = bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
    *at++ = '|';
    return at - out;
}

QByteArray HexDump::row(quint64 offset, QByteArrayView bytes)
{
    char text[kMaxRowChars];
    const int count = static_cast<int>(qMin<qsizetype>(bytes.size(), kRowBytes));
    const qsizetype length =
        formatRow(text, offset, reinterpret_cast<const unsigned char *>(bytes.data()), count);
    return QByteArray(text, length);
}

QByteArrayList HexDump::rows(QByteArrayView bytes)
{
    QByteArrayList rows;
    for (qsizetype at = 0; at < bytes.size(); at += kRowBytes)
        rows << row(quint64(at), bytes.sliced(at, qMin<qsizetype>(kRowBytes, bytes.size() - at)));
    return rows;
}

QByteArrayView HexDump::takeRow()
{
    const qsizetype length = formatRow(m_text, m_offset, m_row, m_count);
    m_offset += quint64(m_count);
    m_count = 0;
    return QByteArrayView(m_text, length);
}

} // namespace zorvane::terminal
