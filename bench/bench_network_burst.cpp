// Hostile network servers benchmark. A server on the loopback agrees the options and then
// floods the port without end: modem-state and line-state notifications, runs of 0xFF, a
// subnegotiation that never ends, or option requests whose refusals it never reads. The module
// session reads it through a ports/ link for a few seconds, as the window's receive timer does.
// Reports, per flood, how long an event posted to the loop waited at most (a click would have
// waited that long; goal under 100 ms) and how much the resident memory rose beyond what the
// terminal lines themselves hold (goal under 64 MB). A server that greets with 30 MB of text
// must fail the open, and soon.
//
//   bench_network_burst [seconds per flood]     default 3
#include "Clocks.h"
#include "LoopMonitor.h"
#include "NetworkServers.h"
#include "serial/PortNames.h"
#include "session/ModuleSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

using namespace zorvane::bench;
using zorvane::session::ModuleSession;

namespace {

constexpr int kPort = 9;
constexpr double kLatencyGoalMs = 100.0;
constexpr double kMemoryGoalMB = 64.0;

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1
               ? double(fields[1].toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0)
               : 0;
}

bool linkPort(const QString &docs, const QString &target)
{
    const QString link = zorvane::serial::overrideLinkPath(docs, kPort);
    QDir().mkpath(QFileInfo(link).absolutePath());
    QFile::remove(link);
    return QFile::link(target, link);
}

bool flood(const QString &docs, const char *mode, int seconds)
{
    NetworkServer server;
    if (!server.startHostile(QLatin1String(mode))) {
        std::printf("%-9s server did not start\n", mode);
        return false;
    }
    linkPort(docs, server.url(QStringLiteral("rfc2217")));
    ModuleSession session;
    session.serial().setDocumentsFolder(docs);
    if (!session.serial().c_open(kPort, 115200, 8, 0, 1)) {
        std::printf("%-9s cannot open: %s\n", mode,
                    qPrintable(session.serial().lastOpenFailure().errorText));
        return false;
    }
    const double before = residentMB();
    double highest = before;
    qsizetype linesAtHighest = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const double now = residentMB();
        if (now > highest) {
            highest = now;
            linesAtHighest = session.lines().memoryBytes();
        }
    });
    sampler.start(10);
    LoopMonitor monitor(5);
    session.start();
    const qint64 end = nowNs() + qint64(seconds) * 1'000'000'000;
    waitFor([&] { return nowNs() >= end; }, seconds * 1000 + 1000);
    monitor.stop();
    session.stop();
    const double rise = highest - before - double(linesAtHighest) / (1024.0 * 1024.0);
    const bool ok = monitor.longestLatencyMs() < kLatencyGoalMs && rise < kMemoryGoalMB;
    std::printf("%-9s worst wait %7.1f ms  p99 %6.1f ms  memory +%6.1f MB beyond %6.1f MB of "
                "lines  %s\n",
                mode, monitor.longestLatencyMs(), monitor.latencyPercentileMs(0.99), rise,
                double(linesAtHighest) / (1024.0 * 1024.0), ok ? "ok" : "ABOVE GOAL");
    session.serial().c_close();
    return ok;
}

bool greeting(const QString &docs)
{
    NetworkServer server;
    if (!server.startHostile(QStringLiteral("greeting")))
        return false;
    linkPort(docs, server.url(QStringLiteral("rfc2217")));
    ModuleSession session;
    session.serial().setDocumentsFolder(docs);
    const double before = residentMB();
    const qint64 start = nowNs();
    const bool opened = session.serial().c_open(kPort, 115200, 8, 0, 1);
    const double ms = double(nowNs() - start) / 1e6;
    const double rise = residentMB() - before;
    const bool ok = !opened && ms < kLatencyGoalMs && rise < kMemoryGoalMB;
    std::printf("%-9s open %s after %6.1f ms  memory +%6.1f MB  %s\n", "greeting",
                opened ? "succeeded" : "refused", ms, rise, ok ? "ok" : "ABOVE GOAL");
    if (!opened)
        std::printf("          %s\n", qPrintable(session.serial().lastOpenFailure().errorText));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir dir;
    const QString docs = dir.path() + QStringLiteral("/");
    printLoad("before");
    std::printf("hostile RFC 2217 servers on the loopback, %d s each (goals: a posted event "
                "waits under %.0f ms, memory beyond the lines under %.0f MB)\n",
                seconds, kLatencyGoalMs, kMemoryGoalMB);
    bool ok = true;
    for (const char *mode : {"notify", "ff", "endless", "nagging"})
        ok = flood(docs, mode, seconds) && ok;
    ok = greeting(docs) && ok;
    printLoad("after");
    return ok ? 0 : 1;
}
