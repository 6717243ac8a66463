// Idle and slow-link benchmark. Starts the real program in a window of the current display
// (run it under `xvfb-run -a`) on a pseudo-terminal, and reads its CPU time and voluntary
// context switches from /proc while its port is idle and while a module sends 20-byte lines
// paced at 921600 and at 115200 baud, each stream also read by `cat` on a pseudo-terminal of
// its own: the least a reader of that stream can cost on this machine. The idle figure is
// taken again with the Plot window shown and a pattern in its field. A last case, in this process,
// times each of 1,000 single lines sent 50 ms apart from the moment it was written to the moment
// its row reached the terminal list's model.
//
//   bench_idle [idle-seconds [paced-seconds [latency-lines [program]]]]   defaults 60 20 1000
//
// The program may be another build of it, to compare two versions in the same conditions.
#include "Clocks.h"
#include "Payloads.h"
#include "PtyFeeder.h"
#include "PtyModule.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "settings/zv_settings.h"
#include "terminal/view/TerminalModel.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

using namespace zorvane::bench;

namespace {

constexpr int kPort = 1;

struct ProcessSample
{
    double cpuSeconds = 0;
    qint64 voluntarySwitches = 0; // the main thread's: its wake-ups
    qint64 allSwitches = 0;       // every thread's, the window system's helpers included
};

// Run time in nanoseconds from each thread's schedstat, so that a fraction of a clock tick
// over a minute still shows; switches from each thread's status.
ProcessSample sample(qint64 pid)
{
    ProcessSample s;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks + QLatin1Char('/') + tid + QStringLiteral("/schedstat"));
        if (schedstat.open(QIODevice::ReadOnly))
            s.cpuSeconds += double(schedstat.readAll().split(' ').value(0).toLongLong()) * 1e-9;
        QFile status(tasks + QLatin1Char('/') + tid + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (!line.startsWith("voluntary_ctxt_switches:"))
                continue;
            const qint64 switches = line.mid(24).trimmed().toLongLong();
            s.allSwitches += switches;
            if (tid == QString::number(pid))
                s.voluntarySwitches = switches;
        }
    }
    return s;
}

void report(const char *title, const ProcessSample &a, const ProcessSample &b, double seconds)
{
    std::printf("%-40s CPU %6.3f%% of one core, wake-ups %6.1f/s (all threads %6.1f/s)\n", title,
                100.0 * (b.cpuSeconds - a.cpuSeconds) / seconds,
                double(b.voluntarySwitches - a.voluntarySwitches) / seconds,
                double(b.allSwitches - a.allSwitches) / seconds);
    std::fflush(stdout);
}

const char *pacedTitle(qint64 rate, bool cat)
{
    if (rate > 20'000)
        return cat ? "  the same read by cat" : "20-byte lines paced at 921600 baud";
    return cat ? "  the same read by cat" : "20-byte lines paced at 115200 baud";
}

// The paced streams again, read by `cat` from a pseudo-terminal in raw mode.
int runCat(int pacedSeconds)
{
    for (const qint64 rate : {qint64(92'160), qint64(11'520)}) {
        PtyFeeder feeder;
        QProcess cat;
        cat.setStandardOutputFile(QProcess::nullDevice());
        cat.start(QStringLiteral("cat"), {feeder.slavePath()});
        if (!feeder.isValid() || !cat.waitForStarted(5000)) {
            std::printf("cannot start cat on a pseudo-terminal\n");
            return 1;
        }
        const qint64 pid = cat.processId();
        const ProcessSample before = sample(pid);
        const qint64 start = nowNs();
        feeder.start(makeLines(20, rate * pacedSeconds / 22), rate);
        feeder.join();
        QThread::msleep(200);
        const ProcessSample after = sample(pid);
        report(pacedTitle(rate, true), before, after, double(nowNs() - start) * 1e-9);
        cat.kill();
        cat.waitForFinished(5000);
    }
    return 0;
}

// Starts the program on the port, lets start-up pass and measures it while the port is idle.
// Returns its pid, or 0 when it did not start.
qint64 startProgram(QProcess &zorvane, const QString &program, const QString &home,
                    PtyFeeder &feeder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    zorvane.setProcessEnvironment(env);
    zorvane.setProcessChannelMode(QProcess::ForwardedChannels);
    zorvane.start(program, {});
    if (!zorvane.waitForStarted(5000)) {
        std::printf("cannot start %s\n", qPrintable(program));
        return 0;
    }
    // Start-up: settings, the probe of 100 ports, the reset command.
    QThread::sleep(3);
    feeder.discardInput();
    if (zorvane.state() != QProcess::Running) {
        std::printf("the program ended at start-up\n");
        return 0;
    }
    return zorvane.processId();
}

void measureIdle(qint64 pid, const char *title, int idleSeconds)
{
    const ProcessSample before = sample(pid);
    QThread::sleep(static_cast<unsigned long>(idleSeconds));
    const ProcessSample after = sample(pid);
    report(title, before, after, idleSeconds);
}

// The settings the program left, changed so that its next start shows the Plot window with
// a pattern in its field.
bool showPlotAtNextStart(const QString &home)
{
    zorvane::settings::SettingsDocument document;
    document.FileName = home + QStringLiteral("/Documents/Zorvane/zv_settings.xml");
    auto root = zorvane::settings::OpenSettingsRoot(document);
    if (!root)
        return false;
    root->setLeaf(QStringLiteral("Plot"), QStringLiteral("patterns"),
                  QStringLiteral(R"(^(?<n>\d+)\.)"));
    root->setLeaf(QStringLiteral("Plot"), QStringLiteral("shown"), true);
    return document.save(document.FileName);
}

// The real program on a pseudo-terminal: idle, then two paced streams; then idle again with
// the Plot window shown.
int runProgram(const QString &program, int idleSeconds, int pacedSeconds)
{
    QTemporaryDir home;
    PtyFeeder feeder;
    if (!feeder.linkAsOnlyPort(home.path(), kPort)) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    QProcess zorvane;
    const qint64 pid = startProgram(zorvane, program, home.path(), feeder);
    if (pid == 0)
        return 1;
    measureIdle(pid, "idle open port, window shown", idleSeconds);

    for (const qint64 rate : {qint64(92'160), qint64(11'520)}) {
        auto payload = makeLines(20, rate * pacedSeconds / 22);
        const ProcessSample before = sample(pid);
        const qint64 start = nowNs();
        feeder.start(std::move(payload), rate);
        feeder.join();
        QThread::msleep(200); // the last lines
        const ProcessSample after = sample(pid);
        const double seconds = double(nowNs() - start) * 1e-9;
        report(pacedTitle(rate, false), before, after, seconds);
    }
    zorvane.terminate();
    zorvane.waitForFinished(5000);

    if (!showPlotAtNextStart(home.path())) {
        std::printf("cannot change the settings file to show the Plot window\n");
        return 1;
    }
    QProcess again;
    const qint64 againPid = startProgram(again, program, home.path(), feeder);
    if (againPid == 0)
        return 1;
    measureIdle(againPid, "idle open port, Plot window shown", idleSeconds);
    again.terminate();
    again.waitForFinished(5000);
    return runCat(pacedSeconds);
}

// In this process: when does a single line sent on a quiet link reach the model?
int runLatency(int lines)
{
    if (lines <= 0)
        return 0;
    QTemporaryDir home;
    const QString docs = useTemporaryHome(home.path());
    isolatePorts(docs);
    PtyModule module;
    if (!module.isValid() || !module.linkAs(docs, kPort))
        return 1;
    int argc = 1;
    char name[] = "bench_idle";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    zorvane::app::setMessageHandler([](QWidget *, const QString &) {});
    TMain window;
    window.show();
    const QDeadlineTimer opened(5000);
    while (!window.serial.holdsDevice() && !opened.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!window.serial.holdsDevice())
        return 1;

    std::vector<qint64> written(static_cast<size_t>(lines), 0);
    std::vector<qint64> shown(static_cast<size_t>(lines), 0);
    const int rowsBefore = window.ListModel->rowCount();
    std::atomic<int> next{0};
    // A row is complete once the next one has been opened after it.
    QObject::connect(window.ListModel, &QAbstractItemModel::rowsInserted, [&] {
        const qint64 now = nowNs();
        const int complete = window.ListModel->rowCount() - 1 - rowsBefore;
        for (int i = 0; i < std::min(complete, lines); ++i)
            if (shown[size_t(i)] == 0 && written[size_t(i)] != 0)
                shown[size_t(i)] = now;
    });
    std::thread writer([&] {
        QThread::msleep(500);
        for (int i = 0; i < lines; ++i) {
            const QByteArray line = QByteArray::number(i).rightJustified(18, '0') + "\r\n";
            written[size_t(i)] = nowNs();
            module.write(line);
            next = i + 1;
            QThread::msleep(50);
        }
    });
    const QDeadlineTimer done(qint64(lines) * 50 + 10'000);
    while (!done.hasExpired() && (next < lines || shown[size_t(lines - 1)] == 0))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    writer.join();

    std::vector<double> ms;
    for (int i = 0; i < lines; ++i)
        if (shown[size_t(i)] != 0)
            ms.push_back(double(shown[size_t(i)] - written[size_t(i)]) * 1e-6);
    std::sort(ms.begin(), ms.end());
    if (ms.size() != size_t(lines)) {
        std::printf("latency: only %zu of %d lines reached the model\n", ms.size(), lines);
        return 3;
    }
    std::printf("latency of %d single lines 50 ms apart, written to row in the model: median "
                "%.2f ms, p99 %.2f ms, worst %.2f ms\n",
                lines, ms[ms.size() / 2], ms[ms.size() * 99 / 100], ms.back());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int pacedSeconds = argc > 2 ? std::atoi(argv[2]) : 20;
    const int latencyLines = argc > 3 ? std::atoi(argv[3]) : 1000;
    printLoad("before");
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("no display: run this under xvfb-run -a\n");
        return 1;
    }
    const QString program =
        argc > 4 ? QString::fromLocal8Bit(argv[4]) : QStringLiteral(ZORVANE_EXECUTABLE);
    const int programResult = runProgram(program, idleSeconds, pacedSeconds);
    const int latencyResult = runLatency(latencyLines);
    return programResult != 0 ? programResult : latencyResult;
}
