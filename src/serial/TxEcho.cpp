#include "TxEcho.h"

#include "HexText.h"

namespace zorvane::serial {

QStringList txEchoLines(QStringView text, bool hexWrite)
{
    const QString prefix = QStringLiteral("TX=> ");
    if (!hexWrite)
        return {prefix + text.toString()};

    QStringList lines;
    QString line;
    for (const QChar ch : text) {
        line += hexZeroPadded(ch.unicode(), 2) + QLatin1Char(' ');
        if (ch.unicode() == 13) {
            lines << line;
            line.clear();
        }
    }
    lines << prefix + line;
    return lines;
}

} // namespace zorvane::serial
