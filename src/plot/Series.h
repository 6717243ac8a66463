#pragma once

#include <QString>

#include <limits>
#include <vector>

namespace zorvane::plot {

// One value and when it arrived: sixteen bytes, so a million points cost 16 MB.
struct Point
{
    qint64 ms = 0; // arrival time, ms since the epoch
    double value = 0;
};
static_assert(sizeof(Point) == 16);

// What a series measures; series of one unit share a y axis.
enum class Unit { None, Celsius, RelativeHumidity, Dbm };

// The values of one series in the order they arrived, with the figures the table shows.
class Series
{
public:
    // Points kept per series before the oldest tenth goes: 80 MB, hours of a flood.
    static constexpr qsizetype kMaxPoints = 5'000'000;

    Series(QString name, Unit unit = Unit::None) : m_name(std::move(name)), m_unit(unit) {}

    const QString &name() const { return m_name; }
    Unit unit() const { return m_unit; }
    // For a device's signal strength: its address, and how many responses it sent.
    const QString &address() const { return m_address; }
    void setAddress(const QString &address) { m_address = address; }
    qint64 responses() const { return m_received; }

    // Arrival times never go back within a series: a value that seems to (the clock was set
    // back) is placed at the newest time so far, which keeps the points sorted for the search.
    void append(qint64 ms, double value);
    void clear();

    const std::vector<Point> &points() const { return m_points; }
    qsizetype size() const { return qsizetype(m_points.size()); }
    bool isEmpty() const { return m_points.empty(); }
    const Point &last() const { return m_points.back(); }
    // Over the points kept.
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    // Every value that arrived, the ones dropped for room included.
    qint64 received() const { return m_received; }

    // The first point at or after `ms`.
    qsizetype lowerBound(qint64 ms) const;

    bool visible = true;

private:
    void dropOldest();

    QString m_name;
    Unit m_unit;
    QString m_address;
    std::vector<Point> m_points;
    double m_min = std::numeric_limits<double>::infinity();
    double m_max = -std::numeric_limits<double>::infinity();
    qint64 m_received = 0;
};

} // namespace zorvane::plot
