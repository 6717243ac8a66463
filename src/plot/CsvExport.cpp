#include "plot/CsvExport.h"

#include <charconv>
#include <limits>

namespace zorvane::plot {

namespace {

// A name with a comma, a quote or a line break is quoted, its quotes doubled.
QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') &&
        !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

} // namespace

QByteArray numberText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QByteArray(buffer, result.ptr - buffer);
}

QByteArray csvText(const std::vector<const Series *> &series)
{
    QByteArray out = "time";
    qsizetype rows = 0;
    for (const Series *s : series) {
        out += ',' + csvField(s->name());
        rows += s->size();
    }
    out += "\r\n";
    out.reserve(out.size() + rows * (24 + 8 * qsizetype(series.size())));

    // A merge of the sorted series on time: each row takes the next value of every series
    // whose next point has the row's time.
    std::vector<size_t> next(series.size(), 0);
    qint64 lastMs = std::numeric_limits<qint64>::min();
    QByteArray timeText;
    for (;;) {
        qint64 ms = std::numeric_limits<qint64>::max();
        for (size_t n = 0; n < series.size(); ++n) {
            if (next[n] < series[n]->points().size())
                ms = std::min(ms, series[n]->points()[next[n]].ms);
        }
        if (ms == std::numeric_limits<qint64>::max())
            break;
        if (ms != lastMs) {
            timeText = QDateTime::fromMSecsSinceEpoch(ms)
                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                           .toLatin1();
            lastMs = ms;
        }
        out += timeText;
        for (size_t n = 0; n < series.size(); ++n) {
            out += ',';
            const std::vector<Point> &points = series[n]->points();
            if (next[n] < points.size() && points[next[n]].ms == ms)
                out += numberText(points[next[n]++].value);
        }
        out += "\r\n";
    }
    return out;
}

QString csvFileName(const QString &prefix, const QDateTime &when)
{
    return prefix + QStringLiteral("plot-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".csv");
}

} // namespace zorvane::plot
