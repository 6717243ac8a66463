#include "SendHistory.h"

#include "serial/HexText.h"

namespace zorvane::terminal {

QStringList pushedHistory(const QStringList &entries, const QStringList &texts)
{
    // Only the newest pushes survive, so a paste of a million pieces costs no more than
    // eleven: the result is those pushes newest first, then what is left of the old entries.
    const qsizetype size = entries.size();
    QStringList result;
    result.reserve(size);
    for (qsizetype i = texts.size() - 1; i >= 0 && result.size() < size; --i)
        result << texts[i];
    for (qsizetype i = 0; result.size() < size; ++i)
        result << entries[i];
    return result;
}

QString hexWritePiece(char16_t code)
{
    return serial::hexSpacePadded(code, 2) + QLatin1Char(' ');
}

QByteArray hexWriteBytes(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code > 0xFF) {
            bytes += hexWritePiece(code).toLatin1();
            continue;
        }
        bytes += code > 0x0F ? serial::kHexDigits[code >> 4] : ' ';
        bytes += serial::kHexDigits[code & 0x0F];
        bytes += ' ';
    }
    return bytes;
}

} // namespace zorvane::terminal
