// The receive side of the session: one tick's bytes into lines, and what the lines and bytes
// tell beyond themselves (an inquiry result, a BGAPI message, a scan response's address).
#include "session/ModuleSession.h"

#include <QTimer>

using zorvane::terminal::LineAssembly;

namespace zorvane::session {

terminal::ReceiveOptions ModuleSession::tickOptions() const
{
    // A tick of its own, outside a receive event, reads them itself.
    return m_eventOptions ? *m_eventOptions : options().receive;
}

void ModuleSession::Timer1Timer()
{
    const int first = pacer.startTick() ? CheckLink() : serial.c_getc();
    if (first < 0)
        return;
    // A copy: a message box opened by a hook may run a receive event of its own meanwhile.
    const terminal::ReceiveOptions options = tickOptions();
    if (options.hexDump)
        m_lineAssembly.dumpTime(m_clock->nowNs(), m_lines, options, *this);
    m_lineAssembly.tick(first, serial, m_lines, options, *this);
    if (options.hexDump)
        watchDumpGap();
}

void ModuleSession::setClock(std::unique_ptr<Clock> clock)
{
    m_clock = clock ? std::move(clock) : std::make_unique<SteadyClock>();
}

void ModuleSession::watchDumpGap()
{
    if (m_lineAssembly.dumpHoldsBytes() && !m_dumpGap->isActive())
        m_dumpGap->start(int(terminal::HexDump::kBlockGapMs) + 1);
}

void ModuleSession::closeQuietDumpBlock()
{
    if (!m_lineAssembly.dumpHoldsBytes())
        return;
    const qint64 now = m_clock->nowNs();
    if (!m_lineAssembly.dumpGapPassed(now)) {
        const qint64 left = m_lineAssembly.dumpLastBytesNs() + terminal::HexDump::kBlockGapNs - now;
        m_dumpGap->start(int(left / 1'000'000) + 1);
        return;
    }
    m_lineAssembly.endDumpBlock(m_lines, tickOptions(), *this);
    flushLog();
    showNewLines();
}

void ModuleSession::hexDumpSwitched()
{
    const terminal::ReceiveOptions now = tickOptions();
    if (now.hexDump)
        return;
    m_dumpGap->stop();
    m_lineAssembly.endDump(m_lines, now, *this);
    flushLog();
    showNewLines();
}

void ModuleSession::ShowRxChar(int &byte, QByteArray &pending)
{
    LineAssembly::showRxChar(byte, pending, serial, options().receive, *this);
}

void ModuleSession::HandleEscape(QByteArray &pending)
{
    LineAssembly::handleEscape(pending, serial, *this, options().receive.bgapi);
}

void ModuleSession::addToList(int newLine, QStringView text)
{
    LineAssembly::addToList(m_lines, newLine, text, options().receive);
}

void ModuleSession::AddtoList(int newLine, QStringView text)
{
    addToList(newLine, text);
    showNewLines();
}

void ModuleSession::echoKey(const QString &echo)
{
    if (m_lines.isEmpty())
        AddtoList(0, echo);
    else
        m_lines.appendToLast(QStringView(echo));
}

void ModuleSession::CaptureInquiry(QByteArrayView line)
{
    if (!LineAssembly::isInquiryLine(line))
        return;
    // The placeholder "Unknown MAC" goes with the first real address.
    if (m_addresses.isEmpty() || !m_addresses.first().contains(QLatin1Char(':')))
        m_addresses.clear();
    const QString address = QString::fromLatin1(LineAssembly::inquiryAddress(line));
    emit addressFound(address);
    if (!m_addresses.contains(address))
        m_addresses.append(address);
    emit addressSelected(m_addresses.rowCount() - 1);
}

void ModuleSession::bgapi_decode(quint8 byte)
{
    const std::optional<bgapi::Message> message = bgapi.bgapi_decode(byte);
    if (!message)
        return;
    if (const auto *scan = std::get_if<bgapi::ScanResponse>(&*message)) {
        const bgapi::ScanAddressList::Update update =
            bgapi.addresses.scanResponse(scan->address, m_addresses);
        if (update.clearEntries)
            m_addresses.clear();
        emit addressFound(update.text);
        if (update.addEntry) {
            m_addresses.append(update.text);
            emit addressSelected(m_addresses.rowCount() - 1);
        }
    }
    emit bgapiMessage(*message);
}

} // namespace zorvane::session
