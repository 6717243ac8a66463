#include "plot/Scale.h"

#include <algorithm>
#include <cmath>

namespace zorvane::plot {

double Scale::y(double v, double top, double height) const
{
    return top + height - (v - low) * height / (high - low);
}

double Scale::value(double yPixel, double top, double height) const
{
    return low + (top + height - yPixel) * (high - low) / height;
}

Scale niceScale(double low, double high, int wanted)
{
    Scale scale;
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0;
        high = 1;
    }
    if (high < low)
        std::swap(low, high);
    if (high == low) {
        const double around = std::abs(low) > 0 ? std::abs(low) * 0.1 : 1.0;
        low -= around;
        high += around;
    }
    const double rough = (high - low) / std::max(wanted, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / power;
    const double step = (fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10) * power;
    scale.step = step;
    scale.low = std::floor(low / step) * step;
    scale.high = std::ceil(high / step) * step;
    // Round values by count, not by adding steps, so no drift creeps into the last tick.
    const qint64 first = qint64(std::llround(scale.low / step));
    const qint64 last = qint64(std::llround(scale.high / step));
    for (qint64 n = first; n <= last; ++n)
        scale.ticks.append(double(n) * step);
    return scale;
}

QString tickText(double value, double step)
{
    const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    if (std::abs(value) < step / 2)
        value = 0; // no "-0"
    return QString::number(value, 'f', std::clamp(decimals, 0, 12));
}

std::vector<int> assignAxes(const std::vector<const Series *> &series,
                            const std::vector<std::pair<double, double>> &ranges)
{
    std::vector<int> axes(series.size(), 0);
    if (series.empty())
        return axes;
    const auto magnitude = [](const std::pair<double, double> &r) {
        return std::max({std::abs(r.first), std::abs(r.second), 1e-12});
    };
    const Unit leftUnit = series.front()->unit();
    const double leftMagnitude = magnitude(ranges.front());
    for (size_t n = 1; n < series.size(); ++n) {
        const Unit unit = series[n]->unit();
        if (unit != Unit::None || leftUnit != Unit::None) {
            axes[n] = unit == leftUnit ? 0 : 1;
            continue;
        }
        const double ratio = magnitude(ranges[n]) / leftMagnitude;
        axes[n] = ratio > 10 || ratio < 0.1 ? 1 : 0;
    }
    return axes;
}

} // namespace zorvane::plot
