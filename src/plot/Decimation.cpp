#include "plot/Decimation.h"

#include <algorithm>
#include <cmath>

namespace zorvane::plot {

int TimeSpan::column(qint64 ms) const
{
    if (last <= first || width <= 0)
        return 0;
    // Computed in floating point: a long span times a wide chart overflows no integer.
    const double x = std::floor(double(ms - first) * double(width) / double(last - first));
    return int(std::clamp(x, -1.0, double(width)));
}

void decimate(const Point *begin, const Point *end, const TimeSpan &span, std::vector<Column> &out)
{
    for (const Point *p = begin; p != end; ++p) {
        const int x = span.column(p->ms);
        if (!out.empty() && out.back().x == x) {
            Column &c = out.back();
            c.min = std::min(c.min, p->value);
            c.max = std::max(c.max, p->value);
            c.last = p->value;
        } else {
            out.push_back({x, p->value, p->value, p->value, p->value});
        }
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
