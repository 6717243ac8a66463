// Receive benchmark. Floods the real main window's port from a pseudo-terminal and reports
// how fast bytes and lines reach the terminal list, the longest time the event loop was held
// up, CPU use, peak memory and memory per stored line, then checks that the list holds every
// byte that was sent. A last case times one update of the view over 1 and 10 million lines,
// against Qt's plain list view. Each case runs in a process of its own, so peak memory is
// that case's own. Case x shows the binary flood as a hex dump and checks every row against
// the bytes sent.
//
//   bench_receive            all cases
//   bench_receive a d v      the named cases
#include "Clocks.h"
#include "LoopMonitor.h"
#include "Payloads.h"
#include "PtyFeeder.h"
#include "PtyModule.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "app/plot_window/PlotWindow.h"
#include "plot/PlotData.h"
#include "script/ScriptEngine.h"
#include "terminal/HexDump.h"
#include "terminal/view/TerminalModel.h"
#include "terminal/view/TerminalView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace zorvane::bench;
using zorvane::terminal::LineStore;
using zorvane::terminal::TerminalModel;

namespace {

constexpr int kPort = 1;
constexpr qint64 kCaseTimeoutNs = 180'000'000'000;
constexpr qint64 kPacedRate = 92'160; // 921600 baud, 10 bits a byte
constexpr int kPacedSeconds = 10;
constexpr int kIdleSeconds = 5;
constexpr qint64 kMemoryRows = 1'000'000;

struct FloodCase
{
    char id;
    const char *title;
    std::function<std::unique_ptr<Payload>()> make;
    qint64 bytesPerSecond; // 0: as fast as the pseudo-terminal takes them
    int idleSeconds = 0;   // for a port that stays silent: how long to watch it
    bool held = false;     // the reader has scrolled up: the view holds while lines arrive
    // With the Plot window shown and this pattern in its field: each line's number a point.
    const char *plotPattern = nullptr;
    bool script = false;  // a script waits for a pattern that never comes, reading every byte
    bool hexDump = false; // Options > "Hex dump" is checked: rows of hexdump -C
};

const std::vector<FloodCase> &floodCases()
{
    static const std::vector<FloodCase> cases = {
        {'a', "20-character lines", [] { return makeLines(20, 4'000'000); }, 0},
        {'b', "200-character lines", [] { return makeLines(200, 1'000'000); }, 0},
        {'c', "binary noise, no line ends", [] { return makeNoise(64'000'000); }, 0},
        {'h', "20-character lines under a view held at the top",
         [] { return makeLines(20, 4'000'000); }, 0, 0, true},
        {'d', "20-character lines paced at 921600 baud",
         [] { return makeLines(20, kPacedRate * kPacedSeconds / 22); }, kPacedRate},
        {'i', "an idle port", [] { return makeLines(20, 0); }, kPacedRate, kIdleSeconds},
        {'p', "20-character lines with the Plot window taking each line's number",
         [] { return makeLines(20, 4'000'000); }, 0, 0, false, R"(^(?<n>\d+)\.)"},
        {'s', "20-character lines while a script waits for a pattern (compare with a)",
         [] { return makeLines(20, 4'000'000); }, 0, 0, false, nullptr, true},
        {'x', "binary noise shown as a hex dump", [] { return makeNoise(64'000'000); }, 0, 0, false,
         nullptr, false, true},
    };
    return cases;
}

double mb(double bytes)
{
    return bytes / 1e6;
}

// Walks the list from where the flood began and compares its text with what the payload
// shows as; returns the number of text bytes compared, or -1 with a note at the first
// difference.
qint64 compareWithList(const LineStore &lines, qsizetype firstRow, qsizetype firstOffset,
                       Payload &payload)
{
    QByteArray expected;
    qsizetype expectedPos = 0;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    bool payloadDone = false;
    auto need = [&](qsizetype n) {
        while (expected.size() - expectedPos < n && !payloadDone) {
            expected.remove(0, expectedPos);
            expectedPos = 0;
            const qsizetype got = payload.next(chunk.data(), chunk.size());
            payloadDone = got == 0;
            appendDisplayText(QByteArrayView(chunk.constData(), got), expected);
        }
        return expected.size() - expectedPos >= n;
    };
    qint64 compared = 0;
    for (qsizetype row = std::max<qsizetype>(firstRow, 0); row < lines.size(); ++row) {
        QByteArray text = lines.text(row).toLatin1();
        if (row == firstRow)
            text.remove(0, firstOffset);
        if (!need(text.size()) ||
            std::memcmp(text.constData(), expected.constData() + expectedPos, text.size())) {
            std::printf("  MISMATCH in row %lld after %lld bytes of text\n", qlonglong(row),
                        qlonglong(compared));
            return -1;
        }
        expectedPos += text.size();
        compared += text.size();
    }
    if (need(1)) {
        std::printf("  MISSING: the list ends after %lld bytes of text\n", qlonglong(compared));
        return -1;
    }
    return compared;
}

// Reads the bytes back out of the hex dump's rows from `firstRow` on (a first row that is not
// a dump row is text from before) and compares them with the payload; every row must be
// exactly the row its bytes and offset make. Returns the bytes compared, or -1 with a note.
qint64 compareDumpWithList(const LineStore &lines, qsizetype firstRow, Payload &payload)
{
    using zorvane::terminal::HexDump;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    QByteArray expected;
    qsizetype expectedPos = 0;
    bool payloadDone = false;
    qint64 compared = 0;
    quint64 nextOffset = 0;
    for (qsizetype row = std::max<qsizetype>(firstRow, 0); row < lines.size(); ++row) {
        const QByteArray text = lines.text(row).toLatin1();
        if (row == firstRow && !text.contains('|'))
            continue;
        bool ok = false;
        const quint64 offset = text.left(text.indexOf(' ')).toULongLong(&ok, 16);
        if (!ok || (offset != 0 && offset != nextOffset)) {
            std::printf("  MISMATCH: row %lld has offset %s\n", qlonglong(row),
                        text.left(16).constData());
            return -1;
        }
        const QByteArray bytes = QByteArray::fromHex(text.mid(text.indexOf(' '), 52));
        while (expected.size() - expectedPos < bytes.size() && !payloadDone) {
            expected.remove(0, expectedPos);
            expectedPos = 0;
            const qsizetype got = payload.next(chunk.data(), chunk.size());
            payloadDone = got == 0;
            expected.append(chunk.constData(), got);
        }
        if (bytes.isEmpty() || text != HexDump::row(offset, bytes) ||
            QByteArrayView(expected).sliced(
                expectedPos, std::min(bytes.size(), expected.size() - expectedPos)) != bytes) {
            std::printf("  MISMATCH in row %lld after %lld bytes\n", qlonglong(row),
                        qlonglong(compared));
            return -1;
        }
        expectedPos += bytes.size();
        compared += bytes.size();
        nextOffset = offset + quint64(bytes.size());
    }
    if (expected.size() > expectedPos || payload.next(chunk.data(), 1) > 0) {
        std::printf("  MISSING: the rows end after %lld bytes\n", qlonglong(compared));
        return -1;
    }
    return compared;
}

void silenceMessages()
{
    zorvane::app::setMessageHandler([](QWidget *, const QString &) {});
}

// Fills a few screens, then scrolls to the top as a reader would; `top` is the first line in
// view, which must stay there while the flood arrives.
bool holdView(TMain &window, PtyFeeder &feeder, QModelIndex &top)
{
    std::unique_ptr<Payload> screens = makeLines(20, 2'000);
    const qint64 bytes = screens->totalBytes();
    const qint64 takenBefore = window.serial.bytesTaken();
    feeder.start(std::move(screens));
    const bool arrived = waitFor(
        [&] {
            return window.serial.bytesTaken() - takenBefore >= bytes &&
                   !window.ListModel->hasUnpublished();
        },
        10'000);
    feeder.join();
    if (!arrived)
        return false;
    window.ListBox1->verticalScrollBar()->setValue(0);
    waitFor([] { return false; }, 100);
    top = window.ListBox1->indexAt(QPoint(2, 2));
    return top.isValid() && top.row() == 0 && !window.follow.following();
}

// A script in the window that waits the whole flood for a pattern that never comes, so each
// batch read is searched by it.
bool startWaitingScript(TMain &window, const QString &folder)
{
    const QString path = folder + QStringLiteral("/waits.lua");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("zv.expect('NEVER%d+ARRIVES', 3600000)\n") < 0)
        return false;
    file.close();
    if (!window.runScript(path))
        return false;
    return waitFor(
        [&] {
            return window.scriptEngine->state() == zorvane::script::ScriptEngine::State::Waiting;
        },
        5000);
}

int runFlood(const FloodCase &flood)
{
    QTemporaryDir home;
    PtyFeeder feeder;
    if (!feeder.linkAsOnlyPort(home.path(), kPort)) {
        std::printf("case %c: no pseudo-terminal\n", flood.id);
        return 1;
    }
    int argc = 1;
    char name[] = "bench_receive";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    silenceMessages();

    TMain window;
    window.show();
    if (!waitFor([&] { return window.serial.holdsDevice(); }, 5000)) {
        std::printf("case %c: the window did not open its port\n", flood.id);
        return 1;
    }
    // Let start-up settle and drop the reset command the window sends on connecting.
    waitFor([] { return false; }, 300);
    feeder.discardInput();

    if (flood.plotPattern) {
        window.showPlotWindow(true);
        window.Form_Plot->setPatternText(QString::fromLatin1(flood.plotPattern));
    }
    if (flood.hexDump)
        window.HexDump1->trigger();
    const LineStore &lines = window.ListModel->lines();
    QModelIndex heldTop;
    if (flood.held && !holdView(window, feeder, heldTop)) {
        std::printf("case %c: the view did not hold\n", flood.id);
        return 1;
    }
    if (flood.script && !startWaitingScript(window, home.path())) {
        std::printf("case %c: the script did not start waiting\n", flood.id);
        return 1;
    }
    const qsizetype rowsBefore = lines.size();
    const qsizetype lastLengthBefore = rowsBefore > 0 ? lines.length(rowsBefore - 1) : 0;
    const qint64 heapBefore = heapInUse();
    const qint64 takenBefore = window.serial.bytesTaken();

    std::unique_ptr<Payload> payload = flood.make();
    const qint64 totalBytes = payload->totalBytes();
    const qint64 totalLines = payload->totalLines();
    const bool paced = flood.bytesPerSecond > 0;

    // A probe every 5 ms during a flood; on a slow link one every 50 ms, so the probe's own
    // wake-ups hardly count in the CPU figure.
    LoopMonitor monitor(paced ? 50 : 5);
    const double guiCpuStart = cpuSeconds(CpuOf::ThisThread);
    const double processCpuStart = cpuSeconds(CpuOf::Process);
    const qint64 start = nowNs();
    qint64 end = 0;
    bool timedOut = false;
    feeder.start(std::move(payload), flood.bytesPerSecond);

    // Done once every byte was taken from the port and the view was told of every line.
    QTimer check;
    check.setInterval(paced ? 100 : 5);
    QObject::connect(&check, &QTimer::timeout, [&] {
        const qint64 now = nowNs();
        if (now - start < qint64(flood.idleSeconds) * 1'000'000'000)
            return;
        // A dump's last row is shown once its block has ended.
        if (window.serial.bytesTaken() - takenBefore >= totalBytes &&
            !window.session.dumpHoldsBytes() && !window.ListModel->hasUnpublished()) {
            end = now;
            app.quit();
        } else if (now - start > kCaseTimeoutNs) {
            timedOut = true;
            app.quit();
        }
    });
    check.start();
    app.exec();
    check.stop();
    monitor.stop();
    const double guiCpu = cpuSeconds(CpuOf::ThisThread) - guiCpuStart;
    const double processCpu = cpuSeconds(CpuOf::Process) - processCpuStart;
    const double peakRss = peakRssMB();

    if (timedOut) {
        std::printf("case %c: TIMED OUT; %lld of %lld bytes taken\n", flood.id,
                    qlonglong(window.serial.bytesTaken() - takenBefore), qlonglong(totalBytes));
        std::fflush(stdout);
        _exit(2); // the writer may be blocked on a full pseudo-terminal
    }
    feeder.join();
    if (flood.held && window.ListBox1->indexAt(QPoint(2, 2)) != heldTop) {
        std::printf("case %c: the held view moved during the flood\n", flood.id);
        return 3;
    }

    const double wall = double(end - start) * 1e-9;
    const qint64 rows = lines.size() - rowsBefore;
    const qint64 heapDelta = heapInUse() - heapBefore;
    std::unique_ptr<Payload> again = flood.make();
    const qint64 textBytes = flood.hexDump
                                 ? compareDumpWithList(lines, rowsBefore - 1, *again)
                                 : compareWithList(lines, rowsBefore - 1, lastLengthBefore, *again);

    std::printf("case %c: %s, %s%lld bytes\n", flood.id, flood.title,
                paced ? "paced, " : "as fast as the port takes them, ", qlonglong(totalBytes));
    if (flood.idleSeconds == 0)
        std::printf("  reached the list: %.1f MB in %.3f s = %.2f MB/s, %.0f lines/s (%lld rows "
                    "added, %.0f rows/s)\n",
                    mb(double(totalBytes)), wall, mb(double(totalBytes)) / wall,
                    double(totalLines) / wall, qlonglong(rows), double(rows) / wall);
    else
        std::printf("  watched for %.1f s\n", wall);
    std::printf("  event loop: a posted event waited at most %.1f ms (p99 %.1f ms); longest gap "
                "between two delivered events %.1f ms%s\n",
                monitor.longestLatencyMs(), monitor.latencyPercentileMs(0.99),
                monitor.longestGapMs(), paced ? " (includes sleep on a quiet link)" : "");
    std::printf("  CPU: GUI thread %.1f%% of one core, process without the writer %.1f%% (the "
                "writer %.1f%%)\n",
                100.0 * guiCpu / wall, 100.0 * (processCpu - feeder.cpuSeconds()) / wall,
                100.0 * feeder.cpuSeconds() / wall);
    std::printf("  peak RSS %.1f MB\n", peakRss);
    // Below a million lines the fixed costs (a text block is 1 MiB) would dominate.
    if (textBytes >= 0 && rows >= kMemoryRows)
        std::printf("  memory per stored line (%lld rows, %.1f text bytes a row): heap %.2f B, "
                    "of which overhead beyond the text %.2f B; the store's own count %.2f B\n",
                    qlonglong(rows), double(textBytes) / double(rows),
                    double(heapDelta) / double(rows), double(heapDelta - textBytes) / double(rows),
                    double(lines.memoryBytes() - textBytes) / double(rows));
    if (textBytes >= 0)
        std::printf("  check: all %lld bytes reached the list (%lld bytes of shown text)\n",
                    qlonglong(totalBytes), qlonglong(textBytes));
    if (flood.plotPattern) {
        const zorvane::plot::PlotData &plot = window.Form_Plot->data();
        const qint64 points = plot.count() > 0 ? plot.at(0).received() : 0;
        // The last line waits for the next line end to be finished.
        std::printf("  plot: %lld points for %lld lines\n", qlonglong(points),
                    qlonglong(totalLines));
        if (points < totalLines - 1)
            return 3;
    }
    return textBytes >= 0 ? 0 : 3;
}

// Fills a model with `count` lines of 20 characters, all published.
void fill(TerminalModel &model, qint64 count)
{
    LineStore &lines = model.lines();
    const QByteArray text("0123456789ABCDEFGHIJ");
    for (qint64 i = 0; i < count; ++i) {
        lines.addLine({});
        lines.appendToLast(QByteArrayView(text));
    }
    model.publish();
}

struct ViewTiming
{
    double medianMs = 0;
    double maxMs = 0;
    double viewBytesPerRow = 0;
    double repaintMs = 0;
};

// Times what the receive timer does for the view after a tick added a line: tell the view,
// select the last line, scroll it into view, and let the view lay out and paint.
ViewTiming timeView(QListView &view, TerminalModel &model, qint64 rows, int repeats)
{
    const qint64 heapBefore = heapInUse();
    view.resize(800, 600);
    view.setModel(&model);
    view.show();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    view.setCurrentIndex(model.index(model.rowCount() - 1));
    QCoreApplication::processEvents();
    ViewTiming timing;
    timing.viewBytesPerRow = double(heapInUse() - heapBefore) / double(rows);

    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i) {
        model.lines().addLine({});
        model.lines().appendToLast(QByteArrayView("one more line"));
        const qint64 t0 = nowNs();
        model.publish();
        const QModelIndex last = model.index(model.rowCount() - 1);
        view.setCurrentIndex(last);
        view.scrollTo(last);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ms.push_back(double(nowNs() - t0) * 1e-6);
    }
    std::sort(ms.begin(), ms.end());
    timing.medianMs = ms[ms.size() / 2];
    timing.maxMs = ms.back();

    // A full repaint alone, as when a burst replaced every visible line.
    const qint64 t0 = nowNs();
    constexpr int kRepaints = 20;
    for (int i = 0; i < kRepaints; ++i)
        view.viewport()->repaint();
    timing.repaintMs = double(nowNs() - t0) * 1e-6 / kRepaints;
    return timing;
}

int runViewCase()
{
    int argc = 1;
    char name[] = "bench_receive";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::printf("case v: one view update (publish, select and scroll to the last line, layout "
                "and paint) on a list of N lines\n");
    for (const qint64 rows : {qint64(1'000'000), qint64(10'000'000)}) {
        for (const bool plain : {false, true}) {
            const qint64 heapBefore = heapInUse();
            TerminalModel model;
            fill(model, rows);
            const qint64 storeHeap = heapInUse() - heapBefore;
            std::unique_ptr<QListView> view;
            if (plain) {
                view = std::make_unique<QListView>();
                view->setUniformItemSizes(true);
            } else {
                view = std::make_unique<zorvane::terminal::TerminalView>();
            }
            const ViewTiming t = timeView(*view, model, rows, plain ? 5 : 50);
            std::printf("  %8lld lines, %-22s update median %8.3f ms, max %8.3f ms; full repaint "
                        "%.3f ms; view holds %.2f B a line",
                        qlonglong(rows),
                        plain ? "QListView (uniform):" : "TerminalView:", t.medianMs, t.maxMs,
                        t.repaintMs, t.viewBytesPerRow);
            if (!plain)
                std::printf("; store %.2f B a line (20 text bytes)",
                            double(storeHeap) / double(rows));
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    return 0;
}

int runCase(char id)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (id == 'v')
        return runViewCase();
    for (const FloodCase &flood : floodCases()) {
        if (flood.id == id)
            return runFlood(flood);
    }
    std::printf("unknown case %c\n", id);
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<char> ids;
    for (int i = 1; i < argc; ++i)
        ids.push_back(argv[i][0]);
    if (ids.empty())
        ids = {'a', 'b', 'c', 'h', 'd', 'i', 'x', 'v'};
    setvbuf(stdout, nullptr, _IOLBF, 0);
    printLoad("before");
    int failures = 0;
    for (const char id : ids) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            const int result = runCase(id);
            std::fflush(stdout);
            _exit(result);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("case %c FAILED (status %d)\n", id, status);
            ++failures;
        }
    }
    printLoad("after");
    return failures == 0 ? 0 : 1;
}
