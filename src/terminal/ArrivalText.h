#pragma once

#include <QString>

namespace zorvane::terminal {

// How the arrival time of a line is shown beside it.
enum class TimeColumn { Hidden = 0, Clock = 1, SincePrevious = 2 };

// Local time of day, hh:mm:ss.zzz.
QString clockText(qint64 ms);
// Seconds since the previous line, "+0.123"; the first line has none before it and shows +0.000.
QString sinceText(qint64 ms, qint64 previousMs);

} // namespace zorvane::terminal
