#include "Payloads.h"

#include <algorithm>

namespace zorvane::bench {

namespace {

// Line i: its number in decimal, a '.', then letters, so lines differ and a lost or doubled
// line shows in the comparison. The number is counted up in place: the writer must not be
// slower than the program it feeds.
class LinePayload final : public Payload
{
public:
    LinePayload(int width, qint64 lines) : m_width(width), m_lines(lines)
    {
        m_line.resize(width + 2);
        m_line[width] = '\r';
        m_line[width + 1] = '\n';
        m_digits = "0";
        m_linePos = m_line.size();
    }

    qsizetype next(char *out, qsizetype capacity) override
    {
        qsizetype done = 0;
        while (done < capacity) {
            if (m_linePos == m_line.size()) {
                if (m_lineIndex == m_lines)
                    break;
                makeLine();
                m_linePos = 0;
            }
            const qsizetype n = std::min(capacity - done, m_line.size() - m_linePos);
            std::copy_n(m_line.constData() + m_linePos, n, out + done);
            m_linePos += n;
            done += n;
        }
        return done;
    }

    qint64 totalBytes() const override { return m_lines * (m_width + 2); }
    qint64 totalLines() const override { return m_lines; }

private:
    void makeLine()
    {
        char *p = m_line.data();
        const qsizetype digits = std::min<qsizetype>(m_digits.size(), m_width);
        std::copy_n(m_digits.constData(), digits, p);
        for (qsizetype i = digits; i < m_width; ++i)
            p[i] = i == digits ? '.' : static_cast<char>('A' + (m_lineIndex + i) % 26);
        ++m_lineIndex;
        // Count the decimal number up by one.
        qsizetype i = m_digits.size() - 1;
        while (i >= 0 && m_digits[i] == '9')
            m_digits[i--] = '0';
        if (i < 0)
            m_digits.prepend('1');
        else
            ++m_digits[i];
    }

    int m_width;
    qint64 m_lines;
    qint64 m_lineIndex = 0;
    QByteArray m_line;
    QByteArray m_digits;
    qsizetype m_linePos;
};

class NoisePayload final : public Payload
{
public:
    explicit NoisePayload(qint64 bytes) : m_bytes(bytes) {}

    qsizetype next(char *out, qsizetype capacity) override
    {
        const qsizetype n = std::min<qint64>(capacity, m_bytes - m_done);
        for (qsizetype i = 0; i < n; ++i) {
            quint8 b;
            do {
                // xorshift64: fast and the same on every run.
                m_state ^= m_state << 13;
                m_state ^= m_state >> 7;
                m_state ^= m_state << 17;
                b = static_cast<quint8>(m_state >> 32);
            } while (b == 8 || b == 10 || b == 13 || b == 27);
            out[i] = static_cast<char>(b);
        }
        m_done += n;
        return n;
    }

    qint64 totalBytes() const override { return m_bytes; }
    qint64 totalLines() const override { return 0; }

private:
    qint64 m_bytes;
    qint64 m_done = 0;
    std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

} // namespace

std::unique_ptr<Payload> makeLines(int width, qint64 lines)
{
    return std::make_unique<LinePayload>(width, lines);
}

std::unique_ptr<Payload> makeNoise(qint64 bytes)
{
    return std::make_unique<NoisePayload>(bytes);
}

void appendDisplayText(QByteArrayView bytes, QByteArray &out)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<quint8>(c);
        if (b >= 32 && b <= 127) {
            out.append(c);
        } else if (b != 10 && b != 13) {
            const char text[4] = {'<', kHex[b >> 4], kHex[b & 15], '>'};
            out.append(text, 4);
        }
    }
}

} // namespace zorvane::bench
