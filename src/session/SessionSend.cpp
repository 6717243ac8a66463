// The sending rules: a command line closed by CR (not while the BGAPI window decodes, nor in
// the multiplexing mode), a module command framed by CR LF, frames to a multiplexing link,
// the echo of what goes out and the texts the send history keeps.
#include "session/ModuleSession.h"

#include "serial/LinePause.h"
#include "serial/TxEcho.h"
#include "terminal/BgioPacket.h"
#include "terminal/MuxFrame.h"
#include "terminal/SendHistory.h"
#include "terminal/WireText.h"

using zorvane::terminal::MuxFrame;

namespace zorvane::session {

namespace {
// The module takes "+++" as the escape only with this much silence on either side.
constexpr int kEscapeGuardMs = 1000;
// The module needs this long to switch its own rate before the port follows, and the
// port this long to settle before the first byte at the new rate.
constexpr int kModuleBaudSwitchMs = 100;
constexpr int kPortSettleMs = 5;
// The BGAPI module is given this long between the packets of a sequence.
constexpr int kBgapiSequencePauseMs = 10;
} // namespace

void ModuleSession::c_puts(const QString &text)
{
    if (!m_serial.isAlive())
        return;
    tx_echo(text);
    m_serial.writeText(text);
    const SessionOptions now = options();
    if (!now.muxMode && !now.receive.bgapi)
        m_serial.c_putc(13);
}

void ModuleSession::c_write(const QString &text)
{
    pushHistory({text});
    m_serial.writeText(text);
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
    if (options().muxMode || m_muxLink == MuxFrame::kControlLink) {
        writeFrames(m_muxLink, text);
    } else {
        m_serial.c_putc(13);
        c_puts(text);
        m_serial.c_putc(10);
        m_serial.c_putc(13);
    }
    pushHistory({text});
}

void ModuleSession::mc_puts_cmd(const QString &text)
{
    if (!options().muxMode) {
        mc_puts(text);
        return;
    }
    const int link = m_muxLink;
    m_muxLink = MuxFrame::kControlLink;
    mc_puts(text);
    if (options().muxMode)
        m_muxLink = link;
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
    m_serial.writeBytes(MuxFrame::frames(link, serial::byteValued(text)));
}

void ModuleSession::writeBgio(const QByteArray &packet)
{
    // The packet is binary: no echo, no CR; the history text describes it instead.
    m_serial.writeBytes(terminal::bgio::onWire(packet, options().muxMode, m_muxLink));
}

void ModuleSession::hexWrite(const QString &text)
{
    m_serial.writeBytes(terminal::hexWriteBytes(text));
    c_puts(QString());
}

void ModuleSession::sendEscapeSequence()
{
    serial::linePause(kEscapeGuardMs);
    c_write(QStringLiteral("+++"));
    serial::linePause(kEscapeGuardMs);
}

void ModuleSession::changeBaudRate(const QString &command, int rate, int parity)
{
    // Told at the old rate, the module switches; the port follows once it has.
    mc_puts(command);
    serial::linePause(kModuleBaudSwitchMs);
    m_connection.setParity(parity);
    m_connection.setBaudRate(rate);
    m_connection.reopen();
    m_connection.afterOpenEnds([this] {
        serial::linePause(kPortSettleMs);
        m_serial.c_putc(13);
        // The module's answer shows whether both sides now agree.
        mc_puts(QStringLiteral("SET"));
    });
}

void ModuleSession::pushHistory(const QStringList &texts)
{
    m_keyLine.clear();
    emit historyPushed(texts);
}

void ModuleSession::echoTypedKey(char16_t code)
{
    const SessionOptions now = options();
    if (!now.receive.echo)
        return;
    // Successive keys build up one line of codes.
    echoKey(now.hexWrite ? terminal::hexWritePiece(code) : QString::number(code));
}

void ModuleSession::typeByte(char16_t code)
{
    m_serial.c_putc(code);
    m_keyLine += QChar(code);
    if (code == 13)
        pushHistory({m_keyLine});
    echoTypedKey(code);
}

void ModuleSession::typeHistoryKey(const QString &boxText, char16_t code)
{
    c_puts(terminal::wireText(boxText));
    echoTypedKey(code);
}

void ModuleSession::sendBoxText(const QString &boxText, int historySlots)
{
    // What goes out, what the echo shows and what the history keeps are the same text.
    const QString text =
        terminal::wireText(boxText) + (options().muxMode ? QStringLiteral("\r") : QString());
    if (!options().hexWrite) {
        mc_puts(text);
        return;
    }
    // Each character goes out as its hexadecimal text and becomes a history entry of its
    // own. Only the newest pieces can stay in the history, so a long text pushes just those
    // and is written in one go rather than piece by piece.
    QStringList newest;
    for (qsizetype i = qMax<qsizetype>(0, text.size() - historySlots); i < text.size(); ++i)
        newest << terminal::hexWritePiece(text[i].unicode());
    pushHistory(newest);
    hexWrite(text);
}

void ModuleSession::sendCommand(const terminal::ModuleCommand &command,
                                const terminal::CommandContext &context)
{
    using terminal::CommandSend;
    auto text = [&](qsizetype i = 0) {
        return terminal::expandCommand(command.texts.at(i), context);
    };

    switch (command.send) {
    case CommandSend::Command:
        for (qsizetype i = 0; i < command.texts.size(); ++i)
            mc_puts(text(i));
        break;
    case CommandSend::Line:
        for (qsizetype i = 0; i < command.texts.size(); ++i)
            c_puts(text(i));
        break;
    case CommandSend::GainSpan:
        // Each line is led by a CR of its own, which ends whatever the module had so far.
        for (qsizetype i = 0; i < command.texts.size(); ++i) {
            m_serial.c_putc(13);
            c_puts(text(i));
        }
        break;
    case CommandSend::Escape:
        sendEscapeSequence();
        break;
    case CommandSend::CallBgio:
        mc_puts(text());
        m_bgioCalled = true;
        break;
    case CommandSend::BgioDirection: {
        const QByteArray packet =
            terminal::bgio::directionPacket(static_cast<unsigned char>(command.value));
        writeBgio(packet);
        pushHistory({terminal::bgio::hexText(packet)});
        break;
    }
    case CommandSend::BgioPins:
        setBgioPins(command.value);
        break;
    case CommandSend::BgioNextPins:
        // Counts up without bound; past the largest value it wraps as a 32-bit register does.
        setBgioPins(static_cast<int>(static_cast<quint32>(m_pioValue) +
                                     static_cast<quint32>(command.value)));
        break;
    case CommandSend::BaudChange:
        changeBaudRate(text(), command.value, command.parity);
        break;
    case CommandSend::Numbered:
        for (int n = 0; n <= command.value; ++n)
            mc_puts(text().replace(QLatin1String("{n}"), QString::number(n)));
        break;
    }
}

void ModuleSession::sendPio(const terminal::PioButton &button)
{
    mc_puts(button.command);
    if (!m_bgioCalled)
        return;
    if (button.setsDirection)
        setBgioDirections();
    else
        setBgioPins(button.pins);
}

void ModuleSession::setBgioPins(int value)
{
    m_pioValue = value;
    writeBgio(terminal::bgio::setPinsPacket(value));
    pushHistory({terminal::bgio::setPinsText(value)});
}

void ModuleSession::setBgioDirections()
{
    const QByteArray packet = terminal::bgio::directionPacket(terminal::bgio::kPinMask);
    writeBgio(packet);
    pushHistory({terminal::bgio::escapedText(packet)});
}

void ModuleSession::sendBgapiPacket(const QByteArray &packet)
{
    c_puts(QString::fromLatin1(packet));
    m_bgapi.commandSent();
}

void ModuleSession::sendBgapiSequence(const QList<QByteArray> &packets)
{
    for (qsizetype i = 0; i < packets.size(); ++i) {
        if (i > 0)
            serial::linePause(kBgapiSequencePauseMs);
        sendBgapiPacket(packets[i]);
    }
}

void ModuleSession::enterMux()
{
    // Runs before the mode's switch changes: commands are still plain.
    c_puts(QStringLiteral("SET CONTROL MUX 1"));
    m_serial.c_putc(13);
    m_muxLink = MuxFrame::kControlLink;
}

void ModuleSession::leaveMux()
{
    // The mode is the module's own: the command that ends it goes to the control link.
    // Framed to a link chosen with Select it would reach the far device instead, and the
    // module would stay in the mode, ignoring every plain command after it.
    mc_puts_cmd(QStringLiteral("SET CONTROL MUX 0"));
    m_muxLink = -1;
}

void ModuleSession::selectLink(const QString &link)
{
    mc_puts_cmd(QStringLiteral("SELECT ") + link);
    m_muxLink = link.toInt();
}

} // namespace zorvane::session
