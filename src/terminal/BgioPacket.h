#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zorvane::terminal::bgio {

// BGIO packets drive the pins of a device reached through a BGIO profile connection:
// a zero byte, the count of bytes that follow (5), the operation, and four pin bytes.
inline constexpr unsigned char kSetPins = 0x04;
inline constexpr unsigned char kSetDirections = 0x07;
// Pins 2 to 7; the two lowest belong to the module.
inline constexpr unsigned char kPinMask = 0xFC;

// Sets the masked pins to `value`; only its low 8 bits go on the wire.
QByteArray setPinsPacket(int value);
// Sets the direction of the pins, the same byte in all four pin places.
QByteArray directionPacket(unsigned char pins);

// The history text of a set-PIO packet: the fixed bytes as two-digit escapes, then the whole
// value twice, as few digits as it needs, so a value past 0xFF still shows what was asked.
QString setPinsText(int value);
// A packet as two-digit escapes, one per byte ("<00><05><07>...").
QString escapedText(QByteArrayView packet);
// A packet as "HEX: " and two-digit bytes separated by spaces.
QString hexText(QByteArrayView packet);

// What goes on the wire: the packet alone, or wrapped in a multiplexing frame to `link`.
QByteArray onWire(QByteArrayView packet, bool framed, int link);

} // namespace zorvane::terminal::bgio
