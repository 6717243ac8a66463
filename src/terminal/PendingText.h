#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>

namespace zorvane::terminal {

// The display text of one tick that is not in the list yet. A tick adds at most four
// characters per byte of its budget, so a fixed buffer holds it and adding a character is a
// store rather than a call. Offers the few operations of QByteArray the rules use.
class PendingText
{
public:
    static constexpr qsizetype kCapacity = 4 * 256;

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    QByteArrayView view() const { return QByteArrayView(m_data, m_size); }
    operator QByteArrayView() const { return view(); }

    void append(char c)
    {
        Q_ASSERT(m_size < kCapacity);
        m_data[m_size++] = c;
    }
    void append(const char *text, qsizetype count)
    {
        Q_ASSERT(m_size + count <= kCapacity);
        for (qsizetype i = 0; i < count; ++i)
            m_data[m_size + i] = text[i];
        m_size += count;
    }
    void chop(qsizetype count) { m_size -= std::min(count, m_size); }
    void truncate(qsizetype size)
    {
        m_size = std::min(size, m_size);
        if (m_size == 0)
            m_rawControl = false;
    }
    // Raw bytes of an escape sequence may hold CR or LF, which the list shows as spaces;
    // remembered so text without them skips that scan.
    void appendEscapeSequence(const char *sequence)
    {
        append(sequence, 4);
        m_rawControl = true;
    }
    bool mayHoldLineBreak() const { return m_rawControl; }

private:
    char m_data[kCapacity];
    qsizetype m_size = 0;
    bool m_rawControl = false;
};

inline void appendEscapeSequence(QByteArray &text, const char *sequence)
{
    text.append(sequence, 4);
}
inline void appendEscapeSequence(PendingText &text, const char *sequence)
{
    text.appendEscapeSequence(sequence);
}

} // namespace zorvane::terminal
