#pragma once

#include <QChar>
#include <QString>

namespace zorvane::serial {

// Who paces the bytes on the line: nobody, the RTS and CTS lines, or XON and XOFF characters
// (both directions in each case).
enum class FlowControl { None, RtsCts, XonXoff };

// What a port is asked to run at: the four settings the user picks, and the flow control.
struct LineSettings
{
    int baudRate = 0;
    int dataBits = 8;
    int parity = 0; // 0 none, 1 odd, 2 even
    int stopBits = 1;
    FlowControl flowControl = FlowControl::None;

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

// "RTS/CTS" or "XON/XOFF" as the Parameters menu names a flow control; "none" for none.
inline QString flowControlName(FlowControl flow)
{
    switch (flow) {
    case FlowControl::RtsCts:
        return QStringLiteral("RTS/CTS");
    case FlowControl::XonXoff:
        return QStringLiteral("XON/XOFF");
    case FlowControl::None:
        break;
    }
    return QStringLiteral("none");
}

} // namespace zorvane::serial
