#pragma once

#include <QChar>

namespace zorvane::serial {

// What a port is asked to run at: the four settings the user picks.
struct LineSettings
{
    int baudRate = 0;
    int dataBits = 8;
    int parity = 0; // 0 none, 1 odd, 2 even
    int stopBits = 1;

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};

// "N", "O" or "E" as the status bar shows the parity code.
inline QChar parityLetter(int parity)
{
    switch (parity) {
    case 1:
        return QLatin1Char('O');
    case 2:
        return QLatin1Char('E');
    default:
        return QLatin1Char('N');
    }
}

} // namespace zorvane::serial
