#include "LineAssembly.h"

#include <algorithm>

namespace zorvane::terminal {

namespace {
constexpr char kEchoPrefix[] = "RX<= ";
constexpr qsizetype kAddressLength = 17;
static_assert(PendingText::kCapacity == 4 * LineAssembly::kTickBudget,
              "a tick adds at most four characters per byte of its budget");

// A plain scan: an empty view may carry a null data pointer, which memchr must not see.
bool holdsLineBreak(QByteArrayView text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
}
} // namespace

LineAssembly::LineAssembly() = default;

void LineAssembly::openLines(LineStore &lines, int newLine, const ReceiveOptions &options)
{
    for (int i = 0; i < newLine; ++i) {
        if (options.echo)
            lines.addLineWithLead(QByteArrayView(kEchoPrefix));
        else
            lines.addLine({});
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
    openLines(lines, newLine, options);
}

void LineAssembly::addToList(LineStore &lines, int newLine, QStringView text,
                             const ReceiveOptions &options)
{
    QString shown = text.toString();
    shown.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    lines.appendToLast(QStringView(shown));
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

void LineAssembly::show(LineStore &lines, int newLine, const ReceiveOptions &options)
{
    if (m_pending.mayHoldLineBreak()) {
        addToList(lines, newLine, m_pending.view(), options);
        return;
    }
    lines.appendToLast(m_pending.view());
    openLines(lines, newLine, options);
}

void LineAssembly::flush(LineStore &lines, int newLine, const ReceiveOptions &options)
{
    show(lines, newLine, options);
    m_lineStart.append(m_pending.view());
    m_pending.truncate(0);
}

void LineAssembly::wrap(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks)
{
    if (options.log) {
        // Logged before it is shown, so stamps the log writer adds show on screen too; they
        // can lead the line there only while no earlier piece of it is in the list.
        QByteArray &text = unloggedText();
        hooks.writeLogLine(text);
        const qsizetype shownFrom = m_lineStart.isEmpty() ? 0 : text.size() - m_pending.size();
        addToList(lines, 0, QByteArrayView(text).sliced(shownFrom), options);
        m_pending.truncate(0);
    } else {
        flush(lines, 0, options);
    }
    startLine();
    addToList(lines, 1, QByteArrayView(), options);
}

void LineAssembly::endLine(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks)
{
    show(lines, 1, options);
    // The whole line, however many ticks it took; a line that came in one needs no copy.
    const QByteArrayView line = m_lineStart.isEmpty() ? m_pending.view() : wholeLine();
    if (isInquiryLine(line))
        hooks.inquiryLineDone(line);
    // Logged after it is shown, so stamps stay out of the list.
    if (options.log)
        hooks.writeLogLine(unloggedText());
    m_pending.truncate(0);
    startLine();
}

void LineAssembly::startLine()
{
    m_lineStart.truncate(0);
    m_logFrom = 0;
}

QByteArray &LineAssembly::wholeLine()
{
    // Refilled in place: a line costs no allocation once the buffer has grown.
    m_logText.resize(0);
    m_logText.append(m_lineStart);
    m_logText.append(m_pending.view());
    return m_logText;
}

QByteArray &LineAssembly::unloggedText()
{
    m_logText.resize(0);
    m_logText.append(QByteArrayView(m_lineStart).sliced(m_logFrom));
    m_logText.append(m_pending.view());
    return m_logText;
}

void LineAssembly::logOpenLine(ReceiveHooks &hooks)
{
    if (m_lineStart.size() == m_logFrom && m_pending.isEmpty())
        return;
    hooks.writeLogLine(unloggedText());
    m_logFrom = m_lineStart.size();
}

void LineAssembly::dropLine()
{
    startLine();
}

void LineAssembly::packetBoundary(LineStore &lines, const ReceiveOptions &options,
                                  ReceiveHooks &hooks)
{
    if (m_pending.isEmpty())
        return;
    // The packet's text starts a line of its own, so the line it leaves is finished: the log
    // gets what it has not had of that line (a line left holding nothing received is not
    // logged), and the packet's line starts afresh, as after a line end.
    if (options.log && m_lineStart.size() > m_logFrom) {
        m_logText.resize(0);
        m_logText.append(QByteArrayView(m_lineStart).sliced(m_logFrom));
        hooks.writeLogLine(m_logText);
    }
    startLine();
    addToList(lines, 1, QByteArrayView(), options);
    flush(lines, 0, options);
}

void LineAssembly::startDump()
{
    // Text received before goes on as it was; the rows start on a line of their own.
    m_lineStart.truncate(0);
    m_dumping = true;
}

void LineAssembly::showDumpRow(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks)
{
    const QByteArrayView row = m_dump.takeRow();
    // The row arrived with its first byte, however long it waited for the rest.
    const qint64 *readTime = lines.readTime();
    lines.setReadTime(&m_dumpRowMs);
    if (lines.isEmpty() || lines.length(lines.size() - 1) != 0)
        lines.addLine({});
    lines.appendToLast(row);
    lines.setReadTime(readTime);
    if (options.log) {
        m_logText.resize(0);
        m_logText.append(row);
        hooks.writeLogLine(m_logText);
    }
}

void LineAssembly::dumpTime(qint64 nowNs, LineStore &lines, const ReceiveOptions &options,
                            ReceiveHooks &hooks)
{
    if (m_dump.inBlock() && dumpGapPassed(nowNs))
        endDumpBlock(lines, options, hooks);
    m_dumpTickNs = nowNs;
}

void LineAssembly::endDumpBlock(LineStore &lines, const ReceiveOptions &options,
                                ReceiveHooks &hooks)
{
    if (m_dump.holdsBytes())
        showDumpRow(lines, options, hooks);
    m_dump.endBlock();
}

void LineAssembly::endDump(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks)
{
    if (!m_dumping)
        return;
    endDumpBlock(lines, options, hooks);
    m_dumping = false;
    // What comes next is text again, on a line after the rows.
    if (!lines.isEmpty() && lines.length(lines.size() - 1) != 0)
        openLines(lines, 1, options);
}

} // namespace zorvane::terminal
