#pragma once

#include <QtGlobal>

#include <chrono>
#include <malloc.h>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>

namespace zorvane::bench {

// Monotonic wall time in nanoseconds.
inline qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time, user and system, of the calling thread or of the whole process.
enum class CpuOf { ThisThread, Process };
inline double cpuSeconds(CpuOf who)
{
    rusage usage{};
    getrusage(who == CpuOf::ThisThread ? RUSAGE_THREAD : RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Heap bytes in use, and the process's peak resident memory in MB.
inline qint64 heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

inline double peakRssMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The machine's load average and core count: figures taken on a busy machine say so.
inline void printLoad(const char *when)
{
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average %s: %.2f %.2f %.2f (%ld cores)\n", when, load[0], load[1],
                    load[2], sysconf(_SC_NPROCESSORS_ONLN));
}

} // namespace zorvane::bench
