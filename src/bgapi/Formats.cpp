#include "Formats.h"

#include "serial/HexText.h"

namespace zorvane::bgapi {

namespace {

using serial::kHexDigits;

struct NamedCode
{
    qint32 code;
    const char *text;
};

constexpr NamedCode kResultTexts[] = {
    {0x0000, "No Error"},
    {0x0181, "in Wrong State"},
    {0x0184, "Cmd not recognised"},
    {0x0185, "Timeout"},
    {0x0186, "Not connected"},
    {0x0212, "Invalid cmd parameters"},
    {0x0216, "Term. by local host"},
    {0x023E, "Connection Failed"},
    {0x040D, "Wrong length"},
};

void appendHex(QString &out, quint8 value)
{
    out += QLatin1Char(kHexDigits[value >> 4]);
    out += QLatin1Char(kHexDigits[value & 0x0F]);
}

} // namespace

QString hex2(quint8 value)
{
    QString out;
    appendHex(out, value);
    return out;
}

QString hex4(quint32 value)
{
    return serial::hexZeroPadded(value, 4);
}

QString decimalPieces(QByteArrayView bytes)
{
    // Built in place: a logger answer can carry a couple of hundred bytes.
    QString out(bytes.size() * 4, Qt::Uninitialized);
    QChar *at = out.data();
    for (const char byte : bytes) {
        const int value = quint8(byte);
        *at++ = QLatin1Char(' ');
        if (value >= 100)
            *at++ = QLatin1Char(char('0' + value / 100));
        *at++ = QLatin1Char(char('0' + value / 10 % 10));
        *at++ = QLatin1Char(char('0' + value % 10));
    }
    out.truncate(at - out.constData());
    return out;
}

QString hexBytes(QByteArrayView bytes, ByteOrder order)
{
    QString out;
    out.reserve(bytes.size() * 2);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const qsizetype at = order == ByteOrder::Received ? i : bytes.size() - 1 - i;
        appendHex(out, quint8(bytes[at]));
    }
    return out;
}

QString addressText(const RawAddress &address)
{
    QString out;
    out.reserve(17);
    for (auto it = address.rbegin(); it != address.rend(); ++it) {
        if (!out.isEmpty())
            out += QLatin1Char(':');
        appendHex(out, *it);
    }
    return out;
}

QString resultText(qint32 bgapi_result)
{
    for (const NamedCode &named : kResultTexts) {
        if (named.code == bgapi_result)
            return QString::fromLatin1(named.text);
    }
    return hex4(quint32(bgapi_result));
}

QString fixed62(double value, const QLocale &locale)
{
    // Only the separator is the user's: the digits and the minus sign stay those of "%6.2f",
    // where a locale would give its own (a typographic minus, Arabic-Indic digits).
    QString text = QString::number(value, 'f', 2);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text.rightJustified(6, QLatin1Char(' '));
}

} // namespace zorvane::bgapi
