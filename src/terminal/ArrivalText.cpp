#include "ArrivalText.h"

#include <QDateTime>

namespace zorvane::terminal {

QString clockText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString sinceText(qint64 ms, qint64 previousMs)
{
    const qint64 gap = ms - previousMs;
    const qint64 magnitude = gap < 0 ? -gap : gap;
    return (gap < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           QStringLiteral("%1.%2").arg(magnitude / 1000).arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace zorvane::terminal
