#pragma once

#include "HexDump.h"
#include "LineStore.h"
#include "PendingText.h"
#include "serial/HexText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace zorvane::terminal {

// The window's check marks as one receive tick needs them, read once when it starts.
struct ReceiveOptions
{
    bool hexMode = false;          // "HexMode Read": every byte as two hex digits and a space
    bool unreadable = false;       // "UnReadable": control and high bytes as themselves
    bool lineFeedEndsLine = false; // "Add LineFeed to \n"
    bool echo = false;             // "Echo": each line a line end opens starts with "RX<= "
    bool log = false;              // "Log": finished text goes to the session log
    bool bgapi = false;            // the BGAPI window is visible: bytes go to its decoder
    qsizetype wrapChars = 100;     // window width in pixels / 8
    bool hexDump = false;          // "Hex dump": bytes as rows in the layout of hexdump -C
};

// The rest of the program as a receive tick reaches it: clearing, the inquiry capture, the
// BGAPI decoder and the session log.
class ReceiveHooks
{
public:
    virtual ~ReceiveHooks() = default;

    // ESC [ 2 J: empty the terminal list.
    virtual void clearList() = 0;
    // A finished line holding "INQUIRY" and a ':' (the raw text, before CR/LF became spaces).
    virtual void inquiryLineDone(QByteArrayView line) = 0;
    // Every byte the tick handles itself (not the ones an escape sequence reads).
    virtual void feedBgapiDecoder(quint8 byte) { Q_UNUSED(byte); }
    // True once a packet is complete; clears the flag and the decoder's receive buffer.
    virtual bool takeBgapiPacketDone() { return false; }
    // The session log writer; it may put time and date stamps in front of the text in place.
    virtual void writeLogLine(QByteArray &text) { Q_UNUSED(text); }
};

// Turns the bytes of one receive tick into terminal lines: the display text of each byte,
// escape sequences, the width wrap, at most one line end per tick and the byte budget.
// The port is a template parameter so the per-byte path is inlined for the real port and
// tests can feed scripted bytes; a source offers `int c_getc(Source::ReadWait)` giving a
// byte 0..255 or -1, where ReadWait::None never waits and ReadWait::Timeout may.
class LineAssembly
{
public:
    // Bytes one tick takes from the port: its first read and 255 more. The reads of an
    // escape sequence do not count.
    static constexpr int kTickBudget = 256;

    LineAssembly();

    // Handles the tick whose first read gave `first` (0..255) and moves all of its text into
    // `lines` before returning.
    template <class Source>
    void tick(int first, Source &source, LineStore &lines, const ReceiveOptions &options,
              ReceiveHooks &hooks);

    // Appends the display text of one byte to `pending` (a QByteArray or PendingText);
    // reduces the byte to 8 bits and may read three more for an escape sequence.
    template <class Source, class Text>
    static void showRxChar(int &byte, Text &pending, Source &source, const ReceiveOptions &options,
                           ReceiveHooks &hooks);
    // ESC was read: takes the next three bytes, waiting for each since a sequence may arrive
    // split; a read that finds nothing counts as 255. The bytes it takes are the module's as
    // much as any other, so with `decodeBgapi` they reach the packet decoder too, or a packet
    // holding 0x1B would lose the three bytes after it.
    template <class Source, class Text>
    static void handleEscape(Text &pending, Source &source, ReceiveHooks &hooks,
                             bool decodeBgapi = false);

    // Appends text to the last line (CR and LF shown as spaces, a line opened first if there
    // is none), gives that line the style, then opens `newLine` new lines.
    static void addToList(LineStore &lines, int newLine, QByteArrayView latin1,
                          const ReceiveOptions &options);
    static void addToList(LineStore &lines, int newLine, QStringView text,
                          const ReceiveOptions &options);

    // The open line, as it stands, goes to the log (the port was lost, the list is being
    // cleared, the program ends); its rest follows when it ends. Nothing when the log has had
    // all of it. Called between ticks, or from the hook that clears the list.
    void logOpenLine(ReceiveHooks &hooks);
    // The list was emptied: the open line went with it.
    void dropLine();
    // --- the hex dump, while ReceiveOptions::hexDump is set
    // The next tick's bytes arrive at `nowNs` (a steady clock): a block whose last bytes came
    // kBlockGapNs or longer before ends first, its last row shown.
    void dumpTime(qint64 nowNs, LineStore &lines, const ReceiveOptions &options,
                  ReceiveHooks &hooks);
    // A row waits for more bytes; it is shown once its block ends.
    bool dumpHoldsBytes() const { return m_dump.holdsBytes(); }
    // Whether the block's last bytes came kBlockGapNs or longer before `nowNs`.
    bool dumpGapPassed(qint64 nowNs) const { return nowNs - m_dumpLastNs >= HexDump::kBlockGapNs; }
    qint64 dumpLastBytesNs() const { return m_dumpLastNs; }
    // Ends the block: the row being filled is shown as it is, and the next byte counts from 0.
    void endDumpBlock(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks);
    // Leaves the hex dump: its block ends, and received text goes on a line of its own.
    void endDump(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks);

    // A line that reports an inquiry result: it holds "INQUIRY" and a ':'.
    static bool isInquiryLine(QByteArrayView line);
    // The 17 characters from two before the first ':' (xx:xx:xx:xx:xx:xx), cut short where
    // the line ends; empty when the line holds no ':'.
    static QByteArray inquiryAddress(QByteArrayView line);

private:
    static void openLines(LineStore &lines, int newLine, const ReceiveOptions &options);
    // AddtoList with the pending text; flush also empties it.
    void show(LineStore &lines, int newLine, const ReceiveOptions &options);
    void flush(LineStore &lines, int newLine, const ReceiveOptions &options);
    void wrap(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks);
    void endLine(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks);
    void packetBoundary(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks);
    // Forgets the open line: it ended or left the list.
    void startLine();
    template <class Source>
    void dumpTick(int first, Source &source, LineStore &lines, const ReceiveOptions &options,
                  ReceiveHooks &hooks);
    void startDump();
    void showDumpRow(LineStore &lines, const ReceiveOptions &options, ReceiveHooks &hooks);

    // The whole line as the inquiry capture gets it: what earlier ticks moved into the list
    // since the line began, then the pending text.
    QByteArray &wholeLine();
    // The part of it the log has not had, to stamp in place.
    QByteArray &unloggedText();

    PendingText m_pending;
    // The received text of the current line that earlier ticks already moved into the list:
    // a slow link hands a line over in pieces, one tick each.
    QByteArray m_lineStart;
    // How much of m_lineStart the log has had or never takes: what arrived while Log was
    // off, and what was logged as it stood before the line ended.
    qsizetype m_logFrom = 0;
    QByteArray m_logText;

    HexDump m_dump;
    // Rows are being shown: the list's last line is a row.
    bool m_dumping = false;
    // When the first byte of the row being filled arrived (ms since the epoch), its arrival
    // time; and when the tick that brings bytes and the block's last bytes came, on the
    // steady clock.
    qint64 m_dumpRowMs = 0;
    qint64 m_dumpTickNs = 0;
    qint64 m_dumpLastNs = 0;
};

template <class Source, class Text>
inline void LineAssembly::showRxChar(int &byte, Text &pending, Source &source,
                                     const ReceiveOptions &options, ReceiveHooks &hooks)
{
    byte &= 0xFF;
    if (options.hexMode) {
        const char hex[3] = {serial::kHexDigits[byte >> 4], serial::kHexDigits[byte & 0x0F], ' '};
        pending.append(hex, 3);
        return;
    }
    if (byte >= 32 && byte <= 127) {
        pending.append(static_cast<char>(byte));
        return;
    }
    switch (byte) {
    case 8:
        // Only text of this tick can be taken back; the list is left alone.
        if (!pending.isEmpty())
            pending.chop(1);
        return;
    case 10:
    case 13:
        return;
    case 27:
        handleEscape(pending, source, hooks, options.bgapi);
        return;
    default:
        break;
    }
    if (options.unreadable) {
        pending.append(static_cast<char>(byte));
    } else {
        // Two-digit escape for bytes the list cannot show.
        const char escaped[4] = {'<', serial::kHexDigits[byte >> 4],
                                 serial::kHexDigits[byte & 0x0F], '>'};
        pending.append(escaped, 4);
    }
}

template <class Source, class Text>
void LineAssembly::handleEscape(Text &pending, Source &source, ReceiveHooks &hooks,
                                bool decodeBgapi)
{
    const auto next = [&] {
        const int byte = source.c_getc(Source::ReadWait::Timeout);
        if (decodeBgapi && byte >= 0)
            hooks.feedBgapiDecoder(static_cast<quint8>(byte));
        return static_cast<char>(byte & 0xFF);
    };
    const char first = next();
    const char second = next();
    const char third = next();
    if (first == '[' && second == '2' && third == 'J') {
        hooks.clearList();
        pending.truncate(0);
        return;
    }
    const char sequence[4] = {'\x1b', first, second, third};
    appendEscapeSequence(pending, sequence);
}

template <class Source>
void LineAssembly::dumpTick(int first, Source &source, LineStore &lines,
                            const ReceiveOptions &options, ReceiveHooks &hooks)
{
    if (!m_dumping)
        startDump();
    int byte = first;
    for (int budget = 0;;) {
        const auto value = static_cast<unsigned char>(byte & 0xFF);
        if (options.bgapi)
            hooks.feedBgapiDecoder(value);
        if (!m_dump.holdsBytes())
            m_dumpRowMs = lines.nowMs();
        if (m_dump.add(value))
            showDumpRow(lines, options, hooks);
        // The next packet starts a block of its own.
        if (options.bgapi && hooks.takeBgapiPacketDone())
            endDumpBlock(lines, options, hooks);
        if (budget >= kTickBudget - 1)
            break;
        byte = source.c_getc(Source::ReadWait::None);
        ++budget;
        if (byte < 0)
            break;
    }
    m_dumpLastNs = m_dumpTickNs;
}

template <class Source>
void LineAssembly::tick(int first, Source &source, LineStore &lines, const ReceiveOptions &options,
                        ReceiveHooks &hooks)
{
    if (options.hexDump) {
        dumpTick(first, source, lines, options, hooks);
        return;
    }
    if (m_dumping)
        endDump(lines, options, hooks);
    m_pending.truncate(0);
    int budget = 0;
    int byte = first;
    for (;;) {
        // Decoded first: an escape shown next may take the three bytes after it.
        if (options.bgapi)
            hooks.feedBgapiDecoder(static_cast<quint8>(byte & 0xFF));
        showRxChar(byte, m_pending, source, options, hooks);
        // ESC [ 2 J empties the pending text (any other escape adds four characters): the
        // line's start went with the list.
        if (byte == 27 && m_pending.isEmpty())
            startLine();
        if (m_pending.size() > options.wrapChars)
            wrap(lines, options, hooks);
        if (byte == 13 || (byte == 10 && options.lineFeedEndsLine)) {
            endLine(lines, options, hooks);
            budget = kTickBudget; // one line end per tick
        }
        if (options.bgapi && hooks.takeBgapiPacketDone())
            packetBoundary(lines, options, hooks);
        if (budget >= kTickBudget - 1)
            break;
        // Taken from the port only now that it will be handled.
        byte = source.c_getc(Source::ReadWait::None);
        ++budget;
        if (byte < 0)
            break;
    }
    if (!m_pending.isEmpty())
        flush(lines, 0, options);
    // The log holds what arrives while it is on.
    if (!options.log)
        m_logFrom = m_lineStart.size();
}

} // namespace zorvane::terminal
