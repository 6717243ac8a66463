#include "ModuleSim.h"

namespace zorvane::sim {

namespace {
constexpr qsizetype kMaxLine = 64;

// Text commands that bring a dongle-mode simulator back to text commands.
bool isTextCommand(const QByteArray &line)
{
    static const QByteArrayList words{"RESET", "SET", "INQUIRY", "LIST", "INFO", "AT", "PIO"};
    const QByteArray word = line.trimmed().split(' ').first().toUpper();
    return words.contains(word) || word.startsWith("AT+");
}
} // namespace

ModuleSim::ModuleSim(Start start) : m_bgapi(start == Start::Bgapi), m_stayBgapi(m_bgapi) {}

QByteArray ModuleSim::receive(QByteArrayView bytes, qint64 nowMs)
{
    if (m_bgapi)
        return receiveBgapi(bytes, nowMs);
    const TextModule::Result result = m_text.receive(bytes, nowMs);
    QByteArray out = result.out;
    if (!result.bgapi.isEmpty()) {
        m_bgapi = true;
        m_line.clear();
        out += m_ble.receive(result.bgapi, nowMs);
        out += receiveBgapi(bytes.sliced(result.consumed), nowMs);
    }
    return out;
}

QByteArray ModuleSim::receiveBgapi(QByteArrayView bytes, qint64 nowMs)
{
    QByteArray out = m_ble.receive(bytes, nowMs);
    if (m_stayBgapi)
        return out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (isTextCommand(m_line)) {
                const QByteArray line = '\r' + m_line + '\r';
                m_bgapi = false;
                m_ble.stop();
                m_line.clear();
                out += m_text.receive(line, nowMs).out;
                return out + receive(bytes.sliced(i + 1), nowMs);
            }
            m_line.clear();
        } else if (c >= 0x20 && c < 0x7F && m_line.size() < kMaxLine) {
            m_line.append(c);
        } else {
            m_line.clear();
        }
    }
    return out;
}

QByteArray ModuleSim::due(qint64 nowMs)
{
    return m_text.due(nowMs) + m_ble.due(nowMs);
}

qint64 ModuleSim::nextDueMs() const
{
    const qint64 a = m_text.nextDueMs();
    const qint64 b = m_ble.nextDueMs();
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    return std::min(a, b);
}

} // namespace zorvane::sim
