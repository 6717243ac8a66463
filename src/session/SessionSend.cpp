// The sending rules: a command line closed by CR (not while the BGAPI window decodes, nor in
// the multiplexing mode), a module command framed by CR LF, frames to a multiplexing link,
// the echo of what goes out and the texts the send history keeps.
#include "session/ModuleSession.h"

#include "serial/LinePause.h"
#include "serial/TxEcho.h"
#include "terminal/BgioPacket.h"
#include "terminal/MuxFrame.h"
#include "terminal/SendHistory.h"

using zorvane::terminal::MuxFrame;

namespace zorvane::session {

namespace {
// The module takes "+++" as the escape only with this much silence on either side.
constexpr int kEscapeGuardMs = 1000;
} // namespace

void ModuleSession::c_puts(const QString &text)
{
    if (!serial.isAlive())
        return;
    tx_echo(text);
    serial.writeText(text);
    const SessionOptions now = options();
    if (!now.muxMode && !now.receive.bgapi)
        serial.c_putc(13);
}

void ModuleSession::c_write(const QString &text)
{
    emit historyPushed({text});
    serial.writeText(text);
}

void ModuleSession::tx_echo(const QString &text)
{
    const SessionOptions now = options();
    if (!now.receive.echo)
        return;
    for (const QString &line : serial::txEchoLines(text, now.hexWrite))
        m_lines.addLine(line);
    showSoon();
}

void ModuleSession::mc_puts(const QString &text)
{
    if (options().muxMode || mux_link == MuxFrame::kControlLink) {
        writeFrames(mux_link, text);
    } else {
        serial.c_putc(13);
        c_puts(text);
        serial.c_putc(10);
        serial.c_putc(13);
    }
    emit historyPushed({text});
}

void ModuleSession::mc_puts_cmd(const QString &text)
{
    if (!options().muxMode) {
        mc_puts(text);
        return;
    }
    const int link = mux_link;
    mux_link = MuxFrame::kControlLink;
    mc_puts(text);
    if (options().muxMode)
        mux_link = link;
}

void ModuleSession::writeFrames(int link, QStringView text)
{
    // A text longer than a frame holds goes out as consecutive frames to the same link.
    if (options().receive.echo) {
        qsizetype at = 0;
        do {
            const QStringView chunk = text.mid(at, MuxFrame::kMaxData);
            AddtoList(1, MuxFrame::echoLine(link, chunk));
            at += MuxFrame::kMaxData;
        } while (at < text.size());
    }
    serial.writeBytes(MuxFrame::frames(link, serial::byteValued(text)));
}

void ModuleSession::writeBgio(const QByteArray &packet)
{
    // The packet is binary: no echo, no CR; the history text describes it instead.
    serial.writeBytes(terminal::bgio::onWire(packet, options().muxMode, mux_link));
}

void ModuleSession::hexWrite(const QString &text)
{
    serial.writeBytes(terminal::hexWriteBytes(text));
    c_puts(QString());
}

void ModuleSession::sendEscapeSequence()
{
    serial::linePause(kEscapeGuardMs);
    c_write(QStringLiteral("+++"));
    serial::linePause(kEscapeGuardMs);
}

void ModuleSession::enterMux()
{
    // Runs before the mode's switch changes: commands are still plain.
    c_puts(QStringLiteral("SET CONTROL MUX 1"));
    serial.c_putc(13);
    mux_link = MuxFrame::kControlLink;
}

void ModuleSession::leaveMux()
{
    // The mode is the module's own: the command that ends it goes to the control link.
    // Framed to a link chosen with Select it would reach the far device instead, and the
    // module would stay in the mode, ignoring every plain command after it.
    mc_puts_cmd(QStringLiteral("SET CONTROL MUX 0"));
    mux_link = -1;
}

void ModuleSession::selectLink(const QString &link)
{
    mc_puts_cmd(QStringLiteral("SELECT ") + link);
    mux_link = link.toInt();
}

} // namespace zorvane::session
