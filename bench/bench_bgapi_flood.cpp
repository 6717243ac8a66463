// Scan-response flood benchmark. A dongle reports 10,000 distinct devices as fast as the
// port takes them, with the BGAPI window shown on the real main window. Reports how long the
// event loop was held up at most (a click would have waited that long), how the heap grew with
// the address list (at 1,000, 5,000 and 10,000 devices: linear growth shows as a steady cost
// per device), the time to take them all in, and checks that every address reached the list.
//
//   bench_bgapi_flood [devices]     default 10000
#include "Clocks.h"
#include "LoopMonitor.h"
#include "Payloads.h"
#include "PtyFeeder.h"
#include "PtyModule.h"
#include "app/MessageBoxes.h"
#include "app/bgapi_window/Unit_bgapi.h"
#include "app/main_window/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>

using namespace zorvane::bench;

namespace {

constexpr int kPort = 1;
constexpr qint64 kTimeoutNs = 300'000'000'000;

// Scan responses of `devices` distinct addresses, each with 20 bytes of advertising data.
class ScanFlood : public Payload
{
public:
    explicit ScanFlood(int devices) : m_devices(devices) {}

    qsizetype next(char *out, qsizetype capacity) override
    {
        qsizetype filled = 0;
        while (m_sent < m_devices && capacity - filled >= kPacketSize) {
            const QByteArray packet = scanResponse(m_sent++);
            std::copy(packet.begin(), packet.end(), out + filled);
            filled += packet.size();
        }
        return filled;
    }
    qint64 totalBytes() const override { return qint64(m_devices) * kPacketSize; }
    qint64 totalLines() const override { return 0; }

    static QByteArray scanResponse(int device)
    {
        QByteArray payload;
        payload += char(0xC4); // signal strength
        payload += char(0);    // packet type
        // Address: two digits of the device number, then a fixed maker part. The digits stay
        // clear of ESC, whose following bytes the terminal's escape handling takes for itself.
        payload += char(lowDigit(device));
        payload += char(highDigit(device));
        payload += QByteArray::fromHex("1A800700");
        payload += char(0);    // address type
        payload += char(0xFF); // bond
        payload += char(kAdvertSize);
        payload += QByteArray(kAdvertSize, char(0x11));
        return QByteArray::fromHex("80") + char(payload.size()) + QByteArray::fromHex("0600") +
               payload;
    }

    static int lowDigit(int device) { return 0x20 + device % 200; }
    static int highDigit(int device) { return 0x20 + device / 200; }

    static constexpr int kAdvertSize = 20;
    static constexpr int kPacketSize = 4 + 11 + kAdvertSize;

private:
    int m_devices;
    int m_sent = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    const int devices = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    PtyFeeder feeder;
    if (!feeder.linkAsOnlyPort(home.path(), kPort)) {
        std::printf("no pseudo-terminal\n");
        return 1;
    }
    QApplication app(argc, argv);
    zorvane::app::setMessageHandler([](QWidget *, const QString &) {});

    TMain window;
    window.show();
    if (!waitFor([&] { return window.serial.holdsDevice(); }, 5000)) {
        std::printf("the window did not open its port\n");
        return 1;
    }
    window.Show_BGAPI->trigger();
    waitFor([] { return false; }, 300);
    feeder.discardInput();

    const qint64 heapBefore = heapInUse();
    QList<qint64> heapAt; // at 1,000, 5,000 and all devices
    const QList<int> marks = {std::min(1000, devices), std::min(5000, devices), devices};
    LoopMonitor monitor(5);
    const qint64 start = nowNs();
    qint64 end = 0;
    bool timedOut = false;
    feeder.start(std::make_unique<ScanFlood>(devices));

    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, [&] {
        const int listed = window.MAC_Address->count();
        while (heapAt.size() < marks.size() && listed >= marks[heapAt.size()])
            heapAt << heapInUse() - heapBefore;
        if (listed >= devices) {
            end = nowNs();
            app.quit();
        } else if (nowNs() - start > kTimeoutNs) {
            timedOut = true;
            app.quit();
        }
    });
    check.start();
    app.exec();
    check.stop();
    monitor.stop();
    feeder.join();

    if (timedOut) {
        std::printf("TIMED OUT with %d of %d devices listed\n", window.MAC_Address->count(),
                    devices);
        return 2;
    }
    const double wall = double(end - start) * 1e-9;
    std::printf("%d distinct scan responses (%d bytes each) with the BGAPI window shown\n", devices,
                ScanFlood::kPacketSize);
    std::printf("  all listed in %.2f s (%.0f responses/s)\n", wall, devices / wall);
    std::printf("  event loop: a posted event waited at most %.1f ms (p99 %.1f ms); longest gap "
                "between two delivered events %.1f ms\n",
                monitor.longestLatencyMs(), monitor.latencyPercentileMs(0.99),
                monitor.longestGapMs());
    for (int i = 0; i < heapAt.size(); ++i)
        std::printf("  heap growth at %5d devices: %.2f MB (%.0f bytes a device)\n", marks[i],
                    double(heapAt[i]) / 1e6, double(heapAt[i]) / marks[i]);
    std::printf("  peak RSS %.1f MB\n", peakRssMB());

    // Every address once, in the order first seen, with its raw bytes beside it.
    bool ok = window.MAC_Address->count() == devices &&
              window.bgapi.addresses.bgapi_address_count() == devices;
    for (int i = 0; ok && i < devices; ++i) {
        const QString text = window.MAC_Address->itemText(i);
        ok = text == QStringLiteral("00:07:80:1A:%1:%2")
                         .arg(ScanFlood::highDigit(i), 2, 16, QLatin1Char('0'))
                         .arg(ScanFlood::lowDigit(i), 2, 16, QLatin1Char('0'))
                         .toUpper() &&
             window.bgapi.addresses.rawAddressOf(text).has_value();
    }
    std::printf("  check: %s\n",
                ok ? "every address listed once, in order, with its raw bytes" : "FAILED");
    return ok ? 0 : 3;
}
