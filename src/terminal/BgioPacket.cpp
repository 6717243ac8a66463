#include "terminal/BgioPacket.h"

#include "serial/HexText.h"
#include "terminal/MuxFrame.h"

#include <QStringList>

namespace zorvane::terminal::bgio {

namespace {

QByteArray packet(unsigned char operation, unsigned char a, unsigned char b)
{
    const char bytes[] = {0x00, 0x05, char(operation), char(a), char(a), char(b), char(b)};
    return QByteArray(bytes, sizeof bytes);
}

} // namespace

QByteArray setPinsPacket(int value)
{
    return packet(kSetPins, kPinMask, static_cast<unsigned char>(value & 0xFF));
}

QByteArray directionPacket(unsigned char pins)
{
    return packet(kSetDirections, pins, pins);
}

QString setPinsText(int value)
{
    // A negative value shows as its 32-bit pattern, as a hexadecimal conversion of it does.
    const QString digits = serial::hexZeroPadded(static_cast<quint32>(value), 1);
    return escapedText(setPinsPacket(value).first(5)) + u'<' + digits + QStringLiteral("><") +
           digits + u'>';
}

QString escapedText(QByteArrayView packet)
{
    QString text;
    for (const char byte : packet)
        text += u'<' + serial::hexZeroPadded(static_cast<unsigned char>(byte), 2) + u'>';
    return text;
}

QString hexText(QByteArrayView packet)
{
    QStringList bytes;
    for (const char byte : packet)
        bytes << serial::hexZeroPadded(static_cast<unsigned char>(byte), 2);
    return QStringLiteral("HEX: ") + bytes.join(u' ');
}

QByteArray onWire(QByteArrayView packet, bool framed, int link)
{
    return framed ? MuxFrame::frame(link, packet) : packet.toByteArray();
}

} // namespace zorvane::terminal::bgio
