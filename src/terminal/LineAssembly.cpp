#include "LineAssembly.h"

#include <algorithm>
#include <cstring>

namespace zorvane::terminal {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kEchoPrefix[] = "RX<= ";
constexpr qsizetype kAddressLength = 17;
// A tick adds at most four characters per byte of its budget, so this is never outgrown
// unless the log writer swaps the buffer.
constexpr qsizetype kPendingReserve = 4 * LineAssembly::kTickBudget + 64;

bool holdsLineBreak(QByteArrayView text)
{
    return std::memchr(text.data(), '\r', text.size()) != nullptr
           || std::memchr(text.data(), '\n', text.size()) != nullptr;
}
} // namespace

LineAssembly::LineAssembly()
{
    m_pending.reserve(kPendingReserve);
}

void LineAssembly::appendHex(QByteArray &pending, int byte)
{
    const char text[3] = {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F], ' '};
    pending.append(text, 3);
}

void LineAssembly::appendEscaped(QByteArray &pending, int byte)
{
    const char text[4] = {'<', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F], '>'};
    pending.append(text, 4);
}

void LineAssembly::startTick()
{
    m_pending.truncate(0);
    // A log writer that kept a copy leaves the buffer shared; truncating then drops it.
    if (m_pending.capacity() < kPendingReserve)
        m_pending.reserve(kPendingReserve);
}

void LineAssembly::openLines(LineStore &lines, int newLine, const ReceiveOptions &options)
{
    for (int i = 0; i < newLine; ++i) {
        lines.addLine({});
        if (options.echo)
            lines.appendToLast(QByteArrayView(kEchoPrefix));
    }
}

void LineAssembly::addToList(LineStore &lines, int newLine, QByteArrayView latin1,
                             const ReceiveOptions &options)
{
    if (holdsLineBreak(latin1)) {
        QByteArray shown = latin1.toByteArray();
        shown.replace('\r', ' ').replace('\n', ' ');
        lines.appendToLast(QByteArrayView(shown));
    } else {
        // Also opens the first line of an empty list.
        lines.appendToLast(latin1);
    }
    lines.setLastStyle(options.style);
    openLines(lines, newLine, options);
}

void LineAssembly::addToList(LineStore &lines, int newLine, QStringView text,
                             const ReceiveOptions &options)
{
    QString shown = text.toString();
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    lines.appendToLast(QStringView(shown));
    lines.setLastStyle(options.style);
    openLines(lines, newLine, options);
}

bool LineAssembly::isInquiryLine(QByteArrayView line)
{
    return line.contains(':') && line.contains(QByteArrayView("INQUIRY"));
}

QByteArray LineAssembly::inquiryAddress(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return {};
    // Cut to the text: a colon near either end must not take us outside the line.
    const qsizetype start = std::max<qsizetype>(0, colon - 2);
    return line.sliced(start, std::min(kAddressLength, line.size() - start)).toByteArray();
}

void LineAssembly::wrap(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks)
{
    // Logged before it is shown, so stamps the log writer adds show on screen too.
    if (options.log)
        hooks.logLine(m_pending);
    addToList(lines, 0, m_pending, options);
    m_pending.truncate(0);
    addToList(lines, 1, QByteArrayView(), options);
}

void LineAssembly::endLine(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks)
{
    addToList(lines, 1, m_pending, options);
    if (isInquiryLine(m_pending))
        hooks.captureInquiry(m_pending);
    // Logged after it is shown, so stamps stay out of the list.
    if (options.log)
        hooks.logLine(m_pending);
    m_pending.truncate(0);
}

void LineAssembly::packetBoundary(LineStore &lines, const ReceiveOptions &options)
{
    if (m_pending.isEmpty())
        return;
    // The text up to the end of a packet goes onto a line of its own.
    addToList(lines, 1, QByteArrayView(), options);
    addToList(lines, 0, m_pending, options);
    m_pending.truncate(0);
}

} // namespace zorvane::terminal
