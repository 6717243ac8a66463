#include "ConnectionText.h"

namespace zorvane::serial {

QString onlineText(const QString &portName, const LineSettings &s)
{
    // "%.4d" pads rates below 1000 with zeros; the whole text is "%s %.4d %d%s%d- Online".
    return QString::asprintf("%s %.4d %d%c%d- Online", qPrintable(portName), s.baudRate, s.dataBits,
                             parityLetter(s.parity).toLatin1(), s.stopBits);
}

QString offlineText(const QString &portName)
{
    return portName + QStringLiteral(" - OffLine");
}

QString countdownText(const QString &portName, double secondsLeft)
{
    return QString::asprintf("%s Offline %.0fs", qPrintable(portName), secondsLeft);
}

QString captionText(const QString &appTitle, const QString &status)
{
    return appTitle + QLatin1Char(' ') + status;
}

} // namespace zorvane::serial
