#include "plot/Series.h"

#include <algorithm>

namespace zorvane::plot {

void Series::append(qint64 ms, double value)
{
    if (!m_points.empty())
        ms = std::max(ms, m_points.back().ms);
    if (size() >= kMaxPoints)
        dropOldest();
    m_points.push_back({ms, value});
    m_min = std::min(m_min, value);
    m_max = std::max(m_max, value);
    ++m_received;
}

void Series::clear()
{
    m_points.clear();
    m_points.shrink_to_fit();
    m_min = std::numeric_limits<double>::infinity();
    m_max = -std::numeric_limits<double>::infinity();
    m_received = 0;
}

qsizetype Series::lowerBound(qint64 ms) const
{
    const auto at = std::lower_bound(m_points.begin(), m_points.end(), ms,
                                     [](const Point &p, qint64 t) { return p.ms < t; });
    return at - m_points.begin();
}

void Series::dropOldest()
{
    // A tenth at a time, so the move is paid once per many appends.
    m_points.erase(m_points.begin(), m_points.begin() + kMaxPoints / 10);
    const auto [low, high] =
        std::minmax_element(m_points.begin(), m_points.end(),
                            [](const Point &a, const Point &b) { return a.value < b.value; });
    m_min = low->value;
    m_max = high->value;
}

} // namespace zorvane::plot
