// Plot benchmark: times a full paint of the Plot window's chart holding one series of a
// million points (and three of them), as the chart draws it at 1000 x 600 pixels, following
// all values and zoomed in; and reports what a stored point costs. The verdict is on the
// thread's CPU time, which a busy machine does not inflate; the wall time is shown beside it.
//
//   QT_QPA_PLATFORM=offscreen bench_plot
#include "Clocks.h"
#include "app/plot_window/PlotChart.h"
#include "plot/PlotData.h"

#include <QApplication>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace zorvane::bench;

namespace {

constexpr qint64 kPoints = 1'000'000;
constexpr double kFrameMs = 16.0;

// CPU time of this thread: on a machine shared with other work the wall clock also counts
// the time the thread waited for a core.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

struct PaintTiming
{
    double medianMs = 0;
    double worstMs = 0;
    double medianCpuMs = 0;
};

// Median and worst wall time, and median CPU time, of `repeats` full repaints, in ms.
PaintTiming timePaint(QWidget &chart, int repeats)
{
    std::vector<double> ms;
    std::vector<double> cpuMs;
    for (int i = 0; i < repeats; ++i) {
        const qint64 t0 = nowNs();
        const qint64 c0 = threadCpuNs();
        chart.repaint();
        cpuMs.push_back(double(threadCpuNs() - c0) * 1e-6);
        ms.push_back(double(nowNs() - t0) * 1e-6);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    return {ms[ms.size() / 2], ms.back(), cpuMs[cpuMs.size() / 2]};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    zorvane::plot::PlotData data;
    data.setPatterns(QStringLiteral("a=(?<a>\\S+)\nb=(?<b>\\S+)\nc=(?<c>\\S+)"));
    const qint64 start = 1'796'000'000'000;
    // A noisy signal, a point every 10 ms: 2 h 47 min of a fast sensor.
    for (qint64 n = 0; n < kPoints; ++n)
        data.addLine(QStringView(QStringLiteral("a=%1").arg(20 + 5 * std::sin(double(n) / 3000) +
                                                            double(n % 13) * 0.1)),
                     start + n * 10);
    data.finishBatch();

    zorvane::app::PlotChart chart(data);
    chart.resize(1000, 600);
    chart.show();
    QCoreApplication::processEvents();
    int failures = 0;
    const auto line = [&](const char *title) {
        const PaintTiming t = timePaint(chart, 30);
        std::printf("%-46s median %6.2f ms (CPU %6.2f ms), worst %6.2f ms%s\n", title, t.medianMs,
                    t.medianCpuMs, t.worstMs,
                    t.medianCpuMs <= kFrameMs ? "" : "  (over a frame of 16 ms)");
        failures += t.medianCpuMs > kFrameMs;
    };
    line("1 million points, all in view");
    QKeyEvent zoomIn(QEvent::KeyPress, Qt::Key_Plus, Qt::NoModifier);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::sendEvent(&chart, &zoomIn);
    line("1 million points, zoomed in tenfold (held)");

    for (const char *name : {"b", "c"}) {
        for (qint64 n = 0; n < kPoints; ++n)
            data.addLine(
                QStringView(QStringLiteral("%1=%2")
                                .arg(QLatin1String(name))
                                .arg(std::cos(double(n) / 5000) * (name[0] == 'b' ? 10 : 1000))),
                start + n * 10);
    }
    data.finishBatch();
    chart.showAll();
    line("3 series of 1 million points, all in view");

    const auto &series = data.at(0);
    std::printf("a point costs %zu bytes; the series holds %lld points in %.1f MB\n",
                sizeof(zorvane::plot::Point), qlonglong(series.size()),
                double(series.points().capacity() * sizeof(zorvane::plot::Point)) / 1e6);
    return failures == 0 ? 0 : 1;
}
