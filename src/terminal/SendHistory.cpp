#include "SendHistory.h"

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
    return QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char(' '))
           + QLatin1Char(' ');
}

QByteArray hexWriteBytes(QStringView text)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QByteArray bytes;
    bytes.reserve(text.size() * 3);
    for (const QChar ch : text) {
        const char16_t code = ch.unicode();
        if (code > 0xFF) {
            bytes += hexWritePiece(code).toLatin1();
            continue;
        }
        bytes += code > 0x0F ? kDigits[code >> 4] : ' ';
        bytes += kDigits[code & 0x0F];
        bytes += ' ';
    }
    return bytes;
}

} // namespace zorvane::terminal
