#pragma once

#include "plot/Series.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace zorvane::plot {

// The series as comma-separated values: a header "time,<series>...", then one row per arrival
// time, oldest first, each series' value in its column and nothing where it has none. A series
// that got several values at one time (the lines of one read share it) gives as many rows of
// that time, so no value is lost. Times are local "yyyy-MM-dd HH:mm:ss.zzz"; numbers are
// written shortest exact, with '.' as the decimal point in every locale. Rows end with CR LF,
// as the session logs do.
QByteArray csvText(const std::vector<const Series *> &series);

// The file name for an export made at `when`: "plot-20270305-090745.csv", led by the
// profile's prefix.
QString csvFileName(const QString &prefix, const QDateTime &when);

// A value written shortest exact: 21.37, 40, -0.5, 1e+21.
QByteArray numberText(double value);

} // namespace zorvane::plot
