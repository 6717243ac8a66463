#include "plot/Decimation.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zorvane::plot {

int TimeSpan::column(qint64 ms) const
{
    if (last <= first || width <= 0)
        return 0;
    // Computed in floating point: a long span times a wide chart overflows no integer.
    const double x = std::floor(double(ms - first) * double(width) / double(last - first));
    return int(std::clamp(x, -1.0, double(width)));
}

qint64 TimeSpan::startOf(int x) const
{
    // A span without width has one column, 0.
    if (last <= first || width <= 0)
        return x <= 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    if (x <= 0)
        return first;
    if (x >= width)
        return last + 1;
    qint64 t = first + qint64(std::ceil(double(x) * double(last - first) / double(width)));
    // Rounding may leave it a step off the rule column() applies: that rule decides.
    while (column(t) < x)
        ++t;
    while (column(t - 1) >= x)
        --t;
    return t;
}

void decimate(const Point *begin, const Point *end, const TimeSpan &span, std::vector<Column> &out)
{
    // Column by column rather than point by point: the end of each column's run is found by
    // a binary search, and the run itself is a plain pass for its extremes.
    const auto before = [](const Point &p, qint64 t) { return p.ms < t; };
    for (const Point *p = begin; p != end;) {
        const int x = span.column(p->ms);
        const Point *stop =
            x >= span.width ? end : std::lower_bound(p, end, span.startOf(x + 1), before);
        double low = p->value;
        double high = p->value;
        for (const Point *q = p + 1; q < stop; ++q) {
            low = std::min(low, q->value);
            high = std::max(high, q->value);
        }
        if (!out.empty() && out.back().x == x) {
            // A run that continues the column of an earlier call.
            Column &c = out.back();
            c.min = std::min(c.min, low);
            c.max = std::max(c.max, high);
            c.last = (stop - 1)->value;
        } else {
            out.push_back({x, low, high, p->value, (stop - 1)->value});
        }
        p = stop;
    }
}

std::vector<Column> decimate(const Series &series, const TimeSpan &span)
{
    std::vector<Column> out;
    if (series.isEmpty() || span.width <= 0)
        return out;
    const std::vector<Point> &points = series.points();
    // One point on either side, so the line leaves the chart where it should.
    qsizetype from = series.lowerBound(span.first);
    if (from > 0)
        --from;
    qsizetype to = series.lowerBound(span.last + 1);
    if (to < series.size())
        ++to;
    out.reserve(size_t(std::min<qsizetype>(to - from, span.width + 2)));
    decimate(points.data() + from, points.data() + to, span, out);
    return out;
}

} // namespace zorvane::plot
