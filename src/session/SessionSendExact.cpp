// Sending exactly what the user means: a text with the line end chosen for the port, or bytes
// written as hexadecimal pairs and quoted text. In the multiplexing mode either travels in
// frames to the selected link, as every text of the send box does.
#include "session/ModuleSession.h"

#include "terminal/MuxFrame.h"
#include "terminal/WireText.h"

using zorvane::terminal::LineEnd;
using zorvane::terminal::MuxFrame;

namespace zorvane::session {

namespace {
// The echo of one frame of bytes: the frame's fields as for any frame, the data as the list
// shows received bytes.
QString bytesFrameEcho(int link, QByteArrayView chunk)
{
    constexpr qsizetype kTrailer = 4; // "<XX>"
    const QString fields = MuxFrame::echoLine(link, QString(chunk.size(), QLatin1Char(' ')));
    return fields.left(fields.size() - chunk.size() - kTrailer) + terminal::shownBytes(chunk) +
           fields.right(kTrailer);
}
} // namespace

void ModuleSession::echo(const QString &line)
{
    if (!options().receive.echo)
        return;
    m_lines.addLine(line);
    showNewLines();
}

QByteArray ModuleSession::lineEndBytes() const
{
    return terminal::lineEndBytes(options().lineEnd);
}

bool ModuleSession::framesSends() const
{
    return options().muxMode || m_muxLink == MuxFrame::kControlLink;
}

void ModuleSession::sendText(const QString &text, LineEnd end)
{
    if (end == LineEnd::Module) {
        mc_puts(text);
        return;
    }
    const QString wire = terminal::wireText(text);
    const QByteArray bytes = serial::byteValued(wire) + terminal::lineEndBytes(end);
    if (framesSends()) {
        writeFrames(m_muxLink, QString::fromLatin1(bytes));
    } else if (m_serial.isAlive()) {
        echo(QStringLiteral("TX=> ") + wire);
        m_serial.writeBytes(bytes);
    }
    emit historyPushed({wire});
}

void ModuleSession::sendBytes(QByteArrayView bytes)
{
    if (framesSends()) {
        if (options().receive.echo) {
            qsizetype at = 0;
            do {
                AddtoList(1, bytesFrameEcho(m_muxLink, bytes.sliced(at, qMin(MuxFrame::kMaxData,
                                                                             bytes.size() - at))));
                at += MuxFrame::kMaxData;
            } while (at < bytes.size());
        }
        m_serial.writeBytes(MuxFrame::frames(m_muxLink, bytes));
        return;
    }
    if (!m_serial.isAlive())
        return;
    echo(QStringLiteral("TX=> ") + terminal::shownBytes(bytes));
    m_serial.writeBytes(bytes);
}

std::optional<terminal::ByteTextError> ModuleSession::sendByteText(const QString &text)
{
    const terminal::ByteTextResult read = terminal::parseByteText(text);
    if (!read.ok())
        return read.error;
    sendBytes(read.bytes);
    emit historyPushed({text});
    return std::nullopt;
}

void ModuleSession::sendTypedLineEnd()
{
    const QByteArray end = lineEndBytes();
    // Typed keys are never framed.
    m_serial.writeBytes(end);
    m_keyLine += QString::fromLatin1(end);
    pushHistory({m_keyLine});
    for (const char byte : end)
        echoTypedKey(char16_t(static_cast<unsigned char>(byte)));
}

} // namespace zorvane::session
