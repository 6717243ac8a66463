#include "TxEcho.h"

namespace zorvane::serial {

QStringList txEchoLines(QStringView text, bool hexWrite)
{
    const QString prefix = QStringLiteral("TX=> ");
    if (!hexWrite)
        return {prefix + text.toString()};

    QStringList lines;
    QString line;
    for (const QChar ch : text) {
        line += QString::asprintf("%.02X ", ch.unicode());
        if (ch.unicode() == 13) {
            lines << line;
            line.clear();
        }
    }
    lines << prefix + line;
    return lines;
}

} // namespace zorvane::serial
