#include "terminal/BgioPacket.h"

#include "terminal/MuxFrame.h"

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
    const QString digits = QString::number(static_cast<quint32>(value), 16).toUpper();
    return escapedText(setPinsPacket(value).first(5)) + u'<' + digits + QStringLiteral("><") +
           digits + u'>';
}

QString escapedText(QByteArrayView packet)
{
    QString text;
    for (const char byte : packet)
        text += QStringLiteral("<%1>").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0'));
    return text.toUpper();
}

QString hexText(QByteArrayView packet)
{
    return QStringLiteral("HEX: ") + QString::fromLatin1(packet.toByteArray().toHex(' ').toUpper());
}

QByteArray onWire(QByteArrayView packet, bool framed, int link)
{
    return framed ? MuxFrame::frame(link, packet) : packet.toByteArray();
}

} // namespace zorvane::terminal::bgio
