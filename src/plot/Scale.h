#pragma once

#include "plot/Series.h"

#include <QList>
#include <QString>

#include <vector>

namespace zorvane::plot {

// A y axis's range and the round values it marks.
struct Scale
{
    double low = 0;
    double high = 1;
    double step = 0.5;
    QList<double> ticks;

    // The vertical pixel of a value, for a plot area from `top` down `height` pixels.
    double y(double value, double top, double height) const;
    double value(double y, double top, double height) const;
};

// The range [low, high] of the data widened to round numbers (1, 2 or 5 times a power of
// ten apart) with about `wanted` marks; a flat range is opened around its value so a
// constant series is a line across the middle, not a division by zero.
Scale niceScale(double low, double high, int wanted = 5);

// A tick's text with as many decimals as the step needs; '.' in every locale.
QString tickText(double value, double step);

// Which y axis each visible series uses: 0 the left, 1 the right. Series of a unit share an
// axis; series without one join the left axis unless their values lie an order of magnitude
// apart from it, as a voltage beside a count would.
std::vector<int> assignAxes(const std::vector<const Series *> &series,
                            const std::vector<std::pair<double, double>> &ranges);

} // namespace zorvane::plot
