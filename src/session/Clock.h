#pragma once

#include <QtGlobal>

#include <chrono>

namespace zorvane::session {

// Where rules with time in them read the time: a steady count of nanoseconds, so a test can
// hand in a clock it moves by hand instead of waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual qint64 nowNs() const = 0;
};

// The machine's monotonic clock.
class SteadyClock final : public Clock
{
public:
    qint64 nowNs() const override
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace zorvane::session
