#include "ByteText.h"

#include "serial/HexText.h"

namespace zorvane::terminal {

namespace {

bool isSeparator(QChar ch)
{
    return ch == QLatin1Char(' ') || ch == QLatin1Char('\t');
}

int hexValue(QChar ch)
{
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

ByteTextResult failure(QStringView piece, const char *problem, qsizetype start)
{
    return {{}, ByteTextError{piece.toString(), QLatin1String(problem), start + 1}};
}

} // namespace

QString ByteTextError::text() const
{
    return QStringLiteral("%1: %2, at character %3").arg(piece, problem).arg(position);
}

ByteTextResult parseByteText(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    qsizetype at = 0;
    while (at < text.size()) {
        if (isSeparator(text[at])) {
            ++at;
            continue;
        }
        const qsizetype start = at;
        if (text[at] == QLatin1Char('"')) {
            ++at;
            bool closed = false;
            while (at < text.size()) {
                QChar ch = text[at];
                if (ch == QLatin1Char('"')) {
                    closed = true;
                    ++at;
                    break;
                }
                if (ch == QLatin1Char('\\') && at + 1 < text.size() &&
                    (text[at + 1] == QLatin1Char('"') || text[at + 1] == QLatin1Char('\\'))) {
                    ++at;
                    ch = text[at];
                }
                if (ch.unicode() > 0xFF)
                    return failure(
                        text.sliced(at, ch.isHighSurrogate() && at + 1 < text.size() ? 2 : 1),
                        "not a single byte", at);
                bytes.append(static_cast<char>(ch.unicode()));
                ++at;
            }
            if (!closed)
                return failure(text.sliced(start), "unclosed quote", start);
            continue;
        }
        // A piece of hexadecimal digits runs up to the next separator or quote.
        while (at < text.size() && !isSeparator(text[at]) && text[at] != QLatin1Char('"'))
            ++at;
        const QStringView piece = text.sliced(start, at - start);
        QStringView digits = piece;
        if (digits.size() > 2 && digits[0] == QLatin1Char('0') &&
            (digits[1] == QLatin1Char('x') || digits[1] == QLatin1Char('X')))
            digits = digits.sliced(2);
        for (const QChar ch : digits) {
            if (hexValue(ch) < 0)
                return failure(piece, "not a hexadecimal byte", start);
        }
        if (digits.size() % 2 != 0)
            return failure(piece, "an odd number of hexadecimal digits", start);
        for (qsizetype i = 0; i < digits.size(); i += 2)
            bytes.append(static_cast<char>(hexValue(digits[i]) << 4 | hexValue(digits[i + 1])));
    }
    return {bytes, std::nullopt};
}

QString shownBytes(QByteArrayView bytes, bool unreadable)
{
    QString shown;
    shown.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool control = byte == 8 || byte == 10 || byte == 13 || byte == 27;
        if ((byte >= 32 && byte <= 127) || (unreadable && !control)) {
            shown += QChar(byte);
            continue;
        }
        shown += QLatin1Char('<');
        shown += QLatin1Char(serial::kHexDigits[byte >> 4]);
        shown += QLatin1Char(serial::kHexDigits[byte & 0x0F]);
        shown += QLatin1Char('>');
    }
    return shown;
}

} // namespace zorvane::terminal
