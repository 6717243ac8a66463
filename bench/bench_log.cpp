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
#include <QTemporaryDir>
#include <QTimer>

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
    {"log on, both stamps", true, true, true}, {"log off (again)", false, false, false},
};

struct FloodResult
{
    bool ok = false;
    double seconds = 0;
    // Seconds for the first and the last kSampleLines lines taken from the port.
    double firstSample = 0;
    double lastSample = 0;
    qint64 loggedLines = 0;
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
    const QString docs = useTemporaryHome(home.path());
    isolatePorts(docs);
    PtyFeeder feeder;
    if (!feeder.isValid() || !feeder.linkAs(docs, kPort))
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
    feeder.join();
    result.seconds = double(end - start) * 1e-9;
    result.firstSample = double(firstAt - start) * 1e-9;
    result.lastSample = double(end - lastFrom) * 1e-9;
    result.loggedLines = setting.log ? loggedLines(window.logFilePath()) : 0;
    // The list holds one row per line and the open last one, past those it held before.
    result.ok = !setting.log || result.loggedLines == lines;
    return result;
}

int runRate(const Setting &setting)
{
    const FloodResult r = flood(setting, kRateLines);
    std::printf("  %-22s %8.0f lines/s  (%.2f s for %lld lines)%s\n", setting.title,
                double(kRateLines) / r.seconds, r.seconds, qlonglong(kRateLines),
                r.ok ? "" : "  LOG INCOMPLETE");
    if (!r.ok)
        std::printf("    the log holds %lld lines\n", qlonglong(r.loggedLines));
    return r.ok ? 0 : 3;
}

int runFlat()
{
    const Setting setting{"log on, both stamps", true, true, true};
    const FloodResult r = flood(setting, kLongLines);
    const double first = r.firstSample / double(kSampleLines) * 1e6;
    const double last = r.lastSample / double(kSampleLines) * 1e6;
    std::printf("  %lld lines with %s in %.1f s (%.0f lines/s)\n", qlonglong(kLongLines),
                setting.title, r.seconds, double(kLongLines) / r.seconds);
    std::printf("  per line: first %lld %.3f us, last %lld %.3f us (last / first %.2f)%s\n",
                qlonglong(kSampleLines), first, qlonglong(kSampleLines), last, last / first,
                r.ok ? "" : "  LOG INCOMPLETE");
    return r.ok ? 0 : 3;
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
            std::printf("case r: %lld lines of %d characters as fast as the port takes them\n",
                        qlonglong(kRateLines), kWidth);
            for (const Setting &setting : kSettings)
                failures += inChild([&] { return runRate(setting); }) != 0;
        } else if (id == 'f') {
            std::printf("case f: per-line cost over a long log\n");
            failures += inChild(runFlat) != 0;
        } else {
            std::printf("unknown case %c\n", id);
            ++failures;
        }
    }
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("load average: %.2f %.2f %.2f (%ld cores)\n", load[0], load[1], load[2],
                    sysconf(_SC_NPROCESSORS_ONLN));
    return failures == 0 ? 0 : 1;
}
