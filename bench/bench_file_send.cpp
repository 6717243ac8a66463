// File send benchmark. Sends a random file by YMODEM from the real main window to lrzsz's rb
// sitting directly on the far end of a pseudo-terminal (no pacing: the line is as fast as the
// kernel), and reports how long the send took, the rate, and the longest wait a click would
// have had meanwhile; then checks that rb wrote the file exactly. Target: 1 MiB under 3 s,
// with the window answering within 16 ms throughout.
//
//   bench_ymodem [kilobytes]     default 1024
#include "Clocks.h"
#include "LoopMonitor.h"
#include "PtyModule.h"
#include "ReceiverRelay.h"
#include "app/MessageBoxes.h"
#include "app/main_window/MainForm.h"
#include "serial/PortNames.h"
#include "transfer/FileSend.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace zorvane::bench;

namespace {
constexpr int kPort = 9;
constexpr int kTextPort = 10;
constexpr int kLines = 20;
constexpr int kLineDelayMs = 100;

// The far end reads each line's arrival while the window sends them.
bool textLineGaps(const QString &docs, const QString &folder)
{
    PtyModule module;
    if (!module.isValid() || !module.linkAs(docs, kTextPort))
        return false;
    TMain w;
    w.set_comx(kTextPort, false);
    QTest::qWait(200);
    module.readAvailable();
    QByteArray text;
    for (int i = 0; i < kLines; ++i)
        text += "AT+LINE" + QByteArray::number(i) + '\n';
    const QString path = folder + QStringLiteral("/lines.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    zorvane::transfer::TransferRequest request{path, zorvane::transfer::Method::TextLines};
    request.lineDelayMs = kLineDelayMs;
    if (!w.startFileSend(request))
        return false;
    std::vector<double> arrivals;
    QByteArray got;
    const qint64 start = nowNs();
    while (arrivals.size() < size_t(kLines) && nowNs() - start < 10'000'000'000LL) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const QByteArray more = module.readAvailable();
        for (const char c : more) {
            if (c == '\r')
                arrivals.push_back(double(nowNs() - start) * 1e-6);
        }
        got += more;
    }
    double worst = 0;
    double least = 1e9;
    double most = 0;
    for (size_t i = 1; i < arrivals.size(); ++i) {
        const double gap = arrivals[i] - arrivals[i - 1];
        least = std::min(least, gap);
        most = std::max(most, gap);
        worst = std::max(worst, std::abs(gap - kLineDelayMs));
    }
    const bool ok = arrivals.size() == size_t(kLines) && worst <= 15.0;
    std::printf("text lines with a %d ms line delay: %zu lines, gaps %.1f to %.1f ms   %s\n",
                kLineDelayMs, arrivals.size(), least, most, ok ? "within 15 ms" : "OFF TARGET");
    return ok;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const qsizetype kilobytes = argc > 1 ? std::atoi(argv[1]) : 1024;
    QTemporaryDir home;
    const QString docs = useTemporaryHome(home.path());
    isolatePorts(docs);
    QApplication app(argc, argv);
    zorvane::app::setMessageHandler([](QWidget *, const QString &) {});

    QByteArray file(kilobytes * 1024, Qt::Uninitialized);
    for (char &c : file)
        c = char(QRandomGenerator::global()->bounded(256));
    const QString path = home.filePath(QStringLiteral("firmware.bin"));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
        return 1;
    out.close();
    const QString received = home.filePath(QStringLiteral("received"));
    QDir().mkpath(received);

    ReceiverRelay relay(false);
    const QString link = zorvane::serial::overrideLinkPath(docs, kPort);
    QDir().mkpath(QFileInfo(link).absolutePath());
    QFile::remove(link);
    if (!relay.isValid() || !QFile::link(relay.portDevice(), link)) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    TMain w;
    w.set_comx(kPort, false);
    if (!w.serial.holdsDevice()) {
        std::printf("port did not open\n");
        return 1;
    }
    if (!relay.start(QStringLiteral("rb"), {"-b", "-y", "-q"}, received)) {
        std::printf("rb did not start\n");
        return 1;
    }

    LoopMonitor monitor(5);
    const qint64 start = nowNs();
    zorvane::transfer::TransferRequest request{path, zorvane::transfer::Method::Ymodem};
    if (!w.startFileSend(request))
        return 1;
    waitFor([&] { return !w.fileSend->isRunning(); }, 120'000);
    const double seconds = double(nowNs() - start) * 1e-9;
    monitor.stop();
    relay.waitForReceiver(10'000);

    QFile got(QDir(received).filePath(QStringLiteral("firmware.bin")));
    const QByteArray bytes = got.open(QIODevice::ReadOnly) ? got.readAll() : QByteArray();
    const bool exact = bytes == file;
    std::printf("YMODEM %lld KiB to rb on an unpaced pseudo-terminal: %.2f s, %.0f bytes/s, "
                "longest click wait %.1f ms (99th percentile %.1f ms)   %s\n"
                "%s\n",
                static_cast<long long>(kilobytes), seconds, double(file.size()) / seconds,
                monitor.longestLatencyMs(), monitor.latencyPercentileMs(0.99),
                exact ? "file matches" : "FILE DIFFERS", qPrintable(w.fileSend->lastEndLine()));
    w.fileSend->cancel();
    w.serial.c_close();
    return exact && textLineGaps(docs, home.path()) ? 0 : 1;
}
