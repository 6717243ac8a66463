#pragma once

#include "plot/Series.h"

#include <vector>

namespace zorvane::plot {

// The span of time a chart shows, across a width in pixels.
struct TimeSpan
{
    qint64 first = 0; // ms at the left edge
    qint64 last = 0;  // ms at the right edge
    int width = 0;    // pixel columns

    // The column a time falls in: -1 before the span, `width` after it.
    int column(qint64 ms) const;
    // The first time that falls in column `x` or later.
    qint64 startOf(int x) const;
};

// What one pixel column of a series shows: the smallest and largest value that fell in it
// and the first and last, which join it to its neighbours.
struct Column
{
    int x = 0;
    double min = 0;
    double max = 0;
    double first = 0;
    double last = 0;
};

// A series reduced to at most one column per pixel: however many points fall in a column,
// it is drawn as one vertical stroke from its minimum to its maximum, so a million points
// cost a pass over the ones in view and a few hundred strokes. The points just outside the
// span are kept as columns outside 0..width-1, so the line runs on to the edges.
std::vector<Column> decimate(const Series &series, const TimeSpan &span);

// Appends to `out` the same for the points [begin, end) of a sorted run.
void decimate(const Point *begin, const Point *end, const TimeSpan &span, std::vector<Column> &out);

} // namespace zorvane::plot
