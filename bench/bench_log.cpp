// Session log benchmark. Floods the real main window's port with 20-character lines from a
// pseudo-terminal and reports the lines per second that reach the terminal list with "Log"
// off and on, in the four stamp combinations, one after the other in the same run; then
// 5,000,000 lines with logging on (both stamps), timing the first and the last 100,000 of
// them, which must cost the same however long the log has grown. Every logged file is checked
// to hold one line for every line received. Each case runs in a process of its own.
//
//   bench_log            all cases
//   bench_log r f        the named cases (r: rates, f: flat per-line cost)
#include "Clocks.h"
#include "Payloads.h"
#include "PtyFeeder.h"
#include "PtyModule.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "terminal/view/TerminalModel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace zorvane::bench;

namespace {

constexpr int kPort = 1;
constexpr int kWidth = 20;
constexpr qint64 kLineBytes = kWidth + 2; // CR LF
constexpr qint64 kRateLines = 1'000'000;
constexpr qint64 kLongLines = 5'000'000;
constexpr qint64 kSampleLines = 100'000;
constexpr qint64 kCaseTimeoutNs = 600'000'000'000;

struct Setting
{
    const char *title;
    bool log;
    bool time;
    bool date;
};

const Setting kSettings[] = {
    {"log off", false, false, false},          {"log on, no stamp", true, false, false},
    {"log on, time stamp", true, true, false}, {"log on, date stamp", true, false, true},
    {"log on, both stamps", true, true, true},
};
// The machine is shared: the settings take turns, round after round, and each reports its
// median, so a burst of load elsewhere weighs on all of them alike.
constexpr int kRounds = 3;

struct FloodResult
{
    bool ok = false;
    double seconds = 0;
    // Seconds for the first and the last kSampleLines lines taken from the port.
    double firstSample = 0;
    double lastSample = 0;
    qint64 loggedLines = 0;
    // CPU time of the window's thread.
    double guiCpu = 0;
};

// Lines in a log file, not counting its first single-space line.
qint64 loggedLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 lines = 0;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;)
        lines += QByteArrayView(chunk.constData(), got).count('\n');
    return lines - 1;
}

FloodResult flood(const Setting &setting, qint64 lines)
{
    FloodResult result;
    QTemporaryDir home;
    PtyFeeder feeder;
    if (!feeder.linkAsOnlyPort(home.path(), kPort))
        return result;
    int argc = 1;
    char name[] = "bench_log";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    zorvane::app::setMessageHandler(
        [](QWidget *, const QString &text) { std::printf("  message: %s\n", qPrintable(text)); });

    TMain window;
    window.show();
    const qint64 openBy = nowNs() + 5'000'000'000;
    while (!window.serial.holdsDevice() && nowNs() < openBy)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!window.serial.holdsDevice())
        return result;
    for (const qint64 settle = nowNs() + 300'000'000; nowNs() < settle;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    feeder.discardInput();
    if (setting.time)
        window.TimeStamp1->trigger();
    if (setting.date)
        window.DateStamp1->trigger();
    if (setting.log)
        window.Log1->trigger();

    const qint64 takenBefore = window.serial.bytesTaken();
    const qint64 total = lines * kLineBytes;
    const qint64 firstMark = kSampleLines * kLineBytes;
    const qint64 lastMark = (lines - kSampleLines) * kLineBytes;
    qint64 firstAt = 0;
    qint64 lastFrom = 0;
    qint64 end = 0;
    const double cpuStart = cpuSeconds(CpuOf::ThisThread);
    const qint64 start = nowNs();
    feeder.start(makeLines(kWidth, lines));

    QTimer check;
    check.setInterval(2);
    QObject::connect(&check, &QTimer::timeout, [&] {
        const qint64 now = nowNs();
        const qint64 taken = window.serial.bytesTaken() - takenBefore;
        if (!firstAt && taken >= firstMark)
            firstAt = now;
        if (!lastFrom && taken >= lastMark)
            lastFrom = now;
        if (taken >= total && !window.ListModel->hasUnpublished()) {
            end = now;
            app.quit();
        } else if (now - start > kCaseTimeoutNs) {
            app.quit();
        }
    });
    check.start();
    app.exec();
    check.stop();
    if (!end) {
        std::printf("  TIMED OUT\n");
        std::fflush(stdout);
        _exit(2);
    }
    result.guiCpu = cpuSeconds(CpuOf::ThisThread) - cpuStart;
    feeder.join();
    result.seconds = double(end - start) * 1e-9;
    result.firstSample = double(firstAt - start) * 1e-9;
    result.lastSample = double(end - lastFrom) * 1e-9;
    result.loggedLines = setting.log ? loggedLines(window.logFilePath()) : 0;
    // The list holds one row per line and the open last one, past those it held before.
    result.ok = !setting.log || result.loggedLines == lines;
    return result;
}

// Runs one flood in a child process and passes its figures back through a pipe.
FloodResult rateInChild(const Setting &setting)
{
    int fds[2];
    FloodResult result;
    if (pipe(fds) != 0)
        return result;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const FloodResult r = flood(setting, kRateLines);
        const ssize_t written = write(fds[1], &r, sizeof r);
        _exit(written == ssize_t(sizeof r) ? 0 : 1);
    }
    close(fds[1]);
    const ssize_t got = read(fds[0], &result, sizeof result);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != ssize_t(sizeof result))
        result.ok = false;
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int runRates()
{
    constexpr size_t kCount = std::size(kSettings);
    std::vector<double> rates[kCount];
    std::vector<double> cpu[kCount];
    int failures = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < kCount; ++i) {
            const FloodResult r = rateInChild(kSettings[i]);
            if (!r.ok) {
                std::printf("  %s: FAILED (the log holds %lld lines)\n", kSettings[i].title,
                            qlonglong(r.loggedLines));
                ++failures;
                continue;
            }
            rates[i].push_back(double(kRateLines) / r.seconds);
            cpu[i].push_back(r.guiCpu / double(kRateLines) * 1e6);
        }
    }
    if (failures)
        return 3;
    const double offRate = median(rates[0]);
    const double offCpu = median(cpu[0]);
    for (size_t i = 0; i < kCount; ++i) {
        std::printf("  %-22s median %8.0f lines/s (%3.0f%% of log off; rounds:", kSettings[i].title,
                    median(rates[i]), 100.0 * median(rates[i]) / offRate);
        for (const double rate : rates[i])
            std::printf(" %.0f", rate);
        std::printf("); window thread %.3f us CPU a line (%.2fx log off)\n", median(cpu[i]),
                    median(cpu[i]) / offCpu);
    }
    return 0;
}

// The log writer alone, without the receive loop: lines stamped and appended in events of
// kEventLines lines, as a receive event does under a flood.
void runWriterAlone()
{
    constexpr int kEventLines = 200;
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    zorvane::terminal::SessionLog log;
    log.start(path);
    const QByteArray text("0123456789ABCDEFGHIJ");
    QByteArray line;
    qint64 firstNs = 0;
    qint64 lastFrom = 0;
    const qint64 start = nowNs();
    for (qint64 i = 0; i < kLongLines; ++i) {
        if (i == kSampleLines)
            firstNs = nowNs() - start;
        if (i == kLongLines - kSampleLines)
            lastFrom = nowNs();
        line = text;
        log.stamp(line, true, true);
        log.queue(line);
        if (i % kEventLines == kEventLines - 1 && log.append(path))
            std::printf("  the log writer failed\n");
    }
    log.append(path);
    const qint64 end = nowNs();
    const double first = double(firstNs) / double(kSampleLines) * 1e-3;
    const double last = double(end - lastFrom) / double(kSampleLines) * 1e-3;
    std::printf("  the log writer alone (stamp both, %d lines a write): %lld lines in %.2f s; per "
                "line: first %lld %.3f us, last %lld %.3f us (last / first %.2f); the file "
                "holds %.0f MB\n",
                kEventLines, qlonglong(kLongLines), double(end - start) * 1e-9,
                qlonglong(kSampleLines), first, qlonglong(kSampleLines), last, last / first,
                double(QFileInfo(path).size()) / 1e6);
}

int runFlat()
{
    int failures = 0;
    for (const Setting &setting : {kSettings[4], kSettings[0]}) {
        const FloodResult r = flood(setting, kLongLines);
        const double first = r.firstSample / double(kSampleLines) * 1e6;
        const double last = r.lastSample / double(kSampleLines) * 1e6;
        std::printf("  the window, %s: %lld lines in %.1f s (%.0f lines/s); per line: first "
                    "%lld %.3f us, last %lld %.3f us (last / first %.2f)%s\n",
                    setting.title, qlonglong(kLongLines), r.seconds, double(kLongLines) / r.seconds,
                    qlonglong(kSampleLines), first, qlonglong(kSampleLines), last, last / first,
                    r.ok ? "" : "  LOG INCOMPLETE");
        failures += !r.ok;
    }
    runWriterAlone();
    return failures ? 3 : 0;
}

template <class Case> int inChild(Case run)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        const int status = run();
        std::fflush(stdout);
        _exit(status);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<char> ids;
    for (int i = 1; i < argc; ++i)
        ids.push_back(argv[i][0]);
    if (ids.empty())
        ids = {'r', 'f'};
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int failures = 0;
    for (const char id : ids) {
        if (id == 'r') {
            std::printf("case r: %lld lines of %d characters as fast as the port takes them, "
                        "%d rounds\n",
                        qlonglong(kRateLines), kWidth, kRounds);
            failures += runRates() != 0;
        } else if (id == 'f') {
            std::printf("case f: per-line cost over a long log\n");
            failures += inChild(runFlat) != 0;
        } else {
            std::printf("unknown case %c\n", id);
            ++failures;
        }
    }
    printLoad("after");
    return failures == 0 ? 0 : 1;
}
