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
    const int first = m_pacer.startTick() ? CheckLink() : m_serial.c_getc();
    if (first < 0) {
        // A line the port left unfinished is logged as it stands; its rest, if the port comes
        // back, follows at its line end.
        if (first == serial::LinkCode::Lost && tickOptions().log)
            m_lineAssembly.logOpenLine(*this);
        return;
    }
    if (m_diversion) {
        divert(first);
        return;
    }
    // A copy: a message box opened by a hook may run a receive event of its own meanwhile.
    const terminal::ReceiveOptions options = tickOptions();
    if (options.hexDump)
        m_lineAssembly.dumpTime(m_clock->nowNs(), m_lines, options, *this);
    m_lineAssembly.tick(first, m_serial, m_lines, options, *this);
    if (options.hexDump)
        watchDumpGap();
}

void ModuleSession::divert(int first)
{
    // What the serial unit holds now goes in one piece; the chunk is already in memory.
    QByteArray bytes(1, char(first));
    for (int byte = m_serial.c_getc(); byte >= 0; byte = m_serial.c_getc())
        bytes.append(char(byte));
    m_diversion(bytes);
}

void ModuleSession::addNote(const QString &text)
{
    if (m_lines.isEmpty() || m_lines.length(m_lines.size() - 1) > 0)
        m_lines.addLine(text);
    else
        m_lines.appendToLast(QStringView(text));
    // What arrives next starts a line of its own.
    m_lines.addLine(QString());
    showNewLines();
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
    LineAssembly::showRxChar(byte, pending, m_serial, options().receive, *this);
}

void ModuleSession::HandleEscape(QByteArray &pending)
{
    LineAssembly::handleEscape(pending, m_serial, *this, options().receive.bgapi);
}

void ModuleSession::appendToList(int newLine, QStringView text)
{
    LineAssembly::addToList(m_lines, newLine, text, options().receive);
}

void ModuleSession::AddtoList(int newLine, QStringView text)
{
    appendToList(newLine, text);
    showNewLines();
}

void ModuleSession::echoKey(const QString &echo)
{
    if (m_lines.isEmpty())
        AddtoList(0, echo);
    else
        m_lines.appendToLast(QStringView(echo));
    showSoon();
}

void ModuleSession::CaptureInquiry(QByteArrayView line)
{
    if (!LineAssembly::isInquiryLine(line))
        return;
    if (bgapi::placeholderLeads(m_addresses))
        m_addresses.clear();
    const QString address = QString::fromLatin1(LineAssembly::inquiryAddress(line));
    emit addressFound(address);
    if (!m_addresses.contains(address))
        m_addresses.append(address);
    emit addressSelected(m_addresses.rowCount() - 1);
}

void ModuleSession::bgapi_decode(quint8 byte)
{
    const std::optional<bgapi::Message> message = m_bgapi.bgapi_decode(byte);
    if (!message)
        return;
    if (const auto *scan = std::get_if<bgapi::ScanResponse>(&*message)) {
        const bgapi::ScanAddressList::Update update =
            m_bgapi.addresses.scanResponse(scan->address, m_addresses);
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
