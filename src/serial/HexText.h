#pragma once

#include <QString>

namespace zorvane::serial {

// Hexadecimal texts as the program writes them everywhere: upper-case digits, padded with
// zeros ("0D", as "%.2X") or with spaces (" D", as "%02x" reads in the program's formats);
// a value wider than the padding keeps all its digits.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

inline QString hexZeroPadded(unsigned value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

inline QString hexSpacePadded(unsigned value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char(' '));
}

} // namespace zorvane::serial
