#include "MuxFrame.h"

#include "serial/HexText.h"

namespace zorvane::terminal {

QByteArray MuxFrame::frame(int link, QByteArrayView data)
{
    Q_ASSERT(data.size() <= kMaxData);
    const auto linkByte = static_cast<char>(link & 0xFF);
    QByteArray bytes;
    bytes.reserve(data.size() + 5);
    bytes.append(static_cast<char>(kStart));
    bytes.append(linkByte);
    bytes.append('\0');
    bytes.append(static_cast<char>(data.size()));
    bytes.append(data);
    bytes.append(static_cast<char>(linkByte ^ 0xFF));
    return bytes;
}

QByteArray MuxFrame::frames(int link, QByteArrayView data)
{
    if (data.isEmpty())
        return frame(link, data);
    QByteArray bytes;
    bytes.reserve(data.size() + (data.size() / kMaxData + 1) * 5);
    for (qsizetype at = 0; at < data.size(); at += kMaxData)
        bytes.append(frame(link, data.sliced(at, qMin(kMaxData, data.size() - at))));
    return bytes;
}

QString MuxFrame::echoLine(int link, QStringView text)
{
    const int linkByte = link & 0xFF;
    const auto hex = [](qsizetype value) { return serial::hexZeroPadded(unsigned(value), 2); };
    return QLatin1String("TX=><0xbf><") + hex(linkByte) + QLatin1String("><0x00><") +
           hex(text.size()) + QLatin1Char('>') + text.toString() + QLatin1Char('<') +
           hex(linkByte ^ 0xFF) + QLatin1Char('>');
}

} // namespace zorvane::terminal
