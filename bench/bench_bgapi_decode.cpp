// BGAPI decoder benchmark. Decodes a stream such as a BLE dongle sends while scanning and
// reading a logger (scan responses from a few dozen devices, attribute values, procedure
// results) mixed with text lines and stray bytes, one byte at a time as the receive loop
// hands them over: the decoder alone, and with the address-list rule applied to every scan
// response as the window does. Reports the throughput of a 1 MB and a 64 MB stream and the
// cost per byte of each, which match when the work per byte does not grow with the stream.
// Figures come from the thread's CPU time, since the machine is shared; wall time is shown
// beside them.
//
//   bench_bgapi_decode [megabytes]     the larger stream, default 64
#include "Clocks.h"
#include "bgapi/BgapiState.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace zorvane::bench;
using namespace zorvane::bgapi;

namespace {

constexpr double kTargetMBps = 50.0;

// CPU time of this thread in nanoseconds, finer than the rusage figures.
double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}
constexpr int kDevices = 40;

void appendPacket(QByteArray &out, quint8 type, quint8 classId, quint8 id,
                  const QByteArray &payload)
{
    out += char(type);
    out += char(payload.size());
    out += char(classId);
    out += char(id);
    out += payload;
}

QByteArray randomBytes(QRandomGenerator &random, int count)
{
    QByteArray bytes(count, '\0');
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// One stretch of traffic: a few scan responses, an attribute value, a procedure result,
// a text line and now and then some stray bytes.
void appendTraffic(QByteArray &out, QRandomGenerator &random)
{
    for (int i = 0; i < 4; ++i) {
        QByteArray scan;
        scan += char(0xB0 + random.bounded(40)); // signal strength
        scan += char(random.bounded(5));         // packet type
        const int device = random.bounded(kDevices);
        scan += QByteArray::fromHex("3C2B1A800700");
        scan[2] = char(device);
        scan += char(0);    // address type
        scan += char(0xFF); // bond
        const QByteArray advert = randomBytes(random, 3 + random.bounded(28));
        scan += char(advert.size()) + advert;
        appendPacket(out, kEvent, kGap, 0, scan);
    }
    const QByteArray value = randomBytes(random, 1 + random.bounded(20));
    appendPacket(out, kEvent, kAttributeClient, 5,
                 QByteArray::fromHex("000A0001") + char(value.size()) + value);
    appendPacket(out, kEvent, kAttributeClient, 1, QByteArray::fromHex("0000000A00"));
    out += "AT+INQUIRY 00:07:80:1A:2B:3C 200404 -60\r\n";
    if (random.bounded(4) == 0)
        out += randomBytes(random, 8 + random.bounded(64));
}

QByteArray stream(qsizetype bytes)
{
    QRandomGenerator random(12); // the same stream on every run
    QByteArray out;
    out.reserve(bytes + 512);
    while (out.size() < bytes)
        appendTraffic(out, random);
    out.truncate(bytes);
    return out;
}

struct Outcome
{
    double seconds = 0; // CPU time of this thread
    double wall = 0;
    qint64 packets = 0;
    qint64 messages = 0;
    qsizetype entries = 0;
};

// What the receive loop and the BGAPI window do with each byte.
Outcome decode(const QByteArray &bytes, bool addressList)
{
    BgapiState state;
    QStringList entries{QStringLiteral("Unknown MAC")};
    Outcome outcome;
    const qint64 start = nowNs();
    const double cpuStart = threadCpuSeconds();
    for (const char byte : bytes) {
        const std::optional<Message> message = state.bgapi_decode(quint8(byte));
        if (state.rx.takePacketDone())
            ++outcome.packets;
        if (!message)
            continue;
        ++outcome.messages;
        if (const auto *scan = std::get_if<ScanResponse>(&*message); scan && addressList) {
            const ScanAddressList::Update update =
                state.addresses.scanResponse(scan->address, entries);
            if (update.clearEntries)
                entries.clear();
            if (update.addEntry)
                entries << update.text;
        }
    }
    outcome.seconds = threadCpuSeconds() - cpuStart;
    outcome.wall = double(nowNs() - start) * 1e-9;
    outcome.entries = entries.size();
    return outcome;
}

// Best of a few runs, so a busy moment on a shared machine does not decide the figure.
Outcome best(const QByteArray &bytes, bool addressList, int runs)
{
    Outcome fastest;
    for (int i = 0; i < runs; ++i) {
        const Outcome outcome = decode(bytes, addressList);
        if (i == 0 || outcome.seconds < fastest.seconds)
            fastest = outcome;
    }
    return fastest;
}

double report(const char *name, const QByteArray &bytes, const Outcome &outcome)
{
    const double megabytes = double(bytes.size()) / 1e6;
    const double nsPerByte = outcome.seconds * 1e9 / double(bytes.size());
    std::printf("  %-6s %6.1f MB in %6.3f s CPU (%6.3f s wall) = %6.1f MB/s, %5.2f ns/byte; "
                "%lld packets, %lld recognised, %lld list entries\n",
                name, megabytes, outcome.seconds, outcome.wall, megabytes / outcome.seconds,
                nsPerByte, qlonglong(outcome.packets), qlonglong(outcome.messages),
                qlonglong(outcome.entries));
    return nsPerByte;
}

} // namespace

int main(int argc, char **argv)
{
    const qsizetype largeMB = argc > 1 ? std::max(2, std::atoi(argv[1])) : 64;
    const QByteArray small = stream(1 << 20);
    const QByteArray large = stream(qsizetype(largeMB) << 20);

    const QByteArray largeName = QByteArray::number(largeMB) + " MB";

    bool met = true;
    for (const bool addressList : {false, true}) {
        std::printf("BGAPI decoder, one byte at a time%s\n",
                    addressList ? ", with the address-list rule" : "");
        const double smallCost = report("1 MB", small, best(small, addressList, 9));
        const double largeCost = report(largeName.constData(), large, best(large, addressList, 3));
        const double mbps = 1e3 / std::max(smallCost, largeCost);
        std::printf("  per-byte cost, large / small stream: %.2f\n", largeCost / smallCost);
        std::printf("  slower of the two: %.1f MB/s, target %.0f MB/s: %s\n", mbps, kTargetMBps,
                    mbps >= kTargetMBps ? "met" : "NOT MET");
        met = met && mbps >= kTargetMBps;
    }
    return met ? 0 : 1;
}
