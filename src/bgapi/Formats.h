#pragma once

#include "Packet.h"

#include <QByteArrayView>
#include <QLocale>
#include <QString>

// The texts the BGAPI window shows for numbers, codes, UUIDs and addresses.
namespace zorvane::bgapi {

// "%.2x" and "%.4x": zero-padded, upper-case hexadecimal.
QString hex2(quint8 value);
QString hex4(quint32 value);
// One " %.2d" piece per byte: a space and the byte in decimal, at least two digits.
QString decimalPieces(QByteArrayView bytes);
// Bytes as "%.2x" each, without separators, in received order or last received first.
enum class ByteOrder { Received, Reversed };
QString hexBytes(QByteArrayView bytes, ByteOrder order);
// xx:xx:xx:xx:xx:xx, most significant byte first.
QString addressText(const RawAddress &address);
// The text of a result or reason code: its name when known, else "%.4x".
QString resultText(qint32 bgapi_result);
// "%6.2f" with the locale's decimal separator; digits 0-9 and '-' whatever the locale.
QString fixed62(double value, const QLocale &locale);

} // namespace zorvane::bgapi
