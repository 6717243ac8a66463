// Memory benchmark of the terminal's line store, fed through the receive line assembly as
// fast as it takes bytes. It reports the resident memory each case adds: per million lines of
// mixed module text between 1 and 5 million lines, and per MB received for floods of random
// bytes and of NUL bytes (shown as their <XX> escapes) between 32 and 160 MB received.
// `bench_memory day` also feeds 50 million lines, a day at 115,200 baud.
//
//   bench_memory              the corpus and the two floods
//   bench_memory text nul     the named cases
#include "terminal/LineAssembly.h"
#include "terminal/LineStore.h"

#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

using namespace zorvane::terminal;

namespace {

// Resident memory of this process in MB, from the kernel's page count.
double residentMB()
{
    long pages = 0;
    long resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

// A deterministic stream of what a module and its user exchange: command echoes, AT
// answers, inquiry results, hex dumps and numbered lines, each ended by CR LF.
class Corpus
{
public:
    // Appends the next line.
    void nextLine(QByteArray &out)
    {
        m_seed = m_seed * 6364136223846793005ull + 1442695040888963407ull;
        const quint32 r = quint32(m_seed >> 33);
        ++m_line;
        char text[128];
        int n = 0;
        // About 20 characters a line on average.
        switch (r % 10) {
        case 0:
            n = std::snprintf(text, sizeof text, "AT+CWJAP=\"lab-ap\",\"zv-%u\"", r / 16 % 100);
            break;
        case 1:
            n = std::snprintf(text, sizeof text, "OK");
            break;
        case 2:
            n = std::snprintf(text, sizeof text, "+RSSI: -%u", 40 + r / 16 % 50);
            break;
        case 3:
            n = std::snprintf(text, sizeof text, "INQUIRY 00:07:80:%02X:%02X:%02X 240404",
                              r / 8 % 256, r / 2048 % 256, r / 524288 % 16);
            break;
        case 4:
            n = std::snprintf(text, sizeof text, "%04X: %02X %02X %02X %02X %02X %02X",
                              quint32(m_line * 16 % 65536), r / 4 % 256, r / 1024 % 256,
                              r / 262144 % 256, r % 7, r / 32 % 3, r / 128 % 256);
            break;
        case 5:
            n = std::snprintf(text, sizeof text, "SET BT NAME zv-%u", r / 64 % 100);
            break;
        case 6:
            n = std::snprintf(text, sizeof text, "READY.");
            break;
        default:
            n = std::snprintf(text, sizeof text, "seq %llu rx %u bytes", qulonglong(m_line),
                              r / 16 % 1000);
            break;
        }
        out.append(text, n);
        out.append("\r\n", 2);
    }

private:
    quint64 m_seed = 7;
    quint64 m_line = 0;
};

// Plays the port for the line assembly from a buffer refilled by the case.
class BufferPort
{
public:
    enum class ReadWait { None, Timeout };
    QByteArray bytes;
    qsizetype pos = 0;
    int c_getc(ReadWait)
    {
        return pos < bytes.size() ? static_cast<unsigned char>(bytes[pos++]) : -1;
    }
};

class NoHooks : public ReceiveHooks
{
public:
    void clearList() override {}
    void inquiryLineDone(QByteArrayView) override {}
};

struct Feeder
{
    LineStore lines;
    LineAssembly assembly;
    BufferPort port;
    NoHooks hooks;
    ReceiveOptions options;
    qint64 received = 0;

    // Everything stays in memory: the figures are of memory, not of the spill file.
    Feeder() { lines.setSpill(-1); }

    // Hands the buffer to the assembly tick by tick, as the receive timer does.
    void feed()
    {
        for (int first = port.c_getc(BufferPort::ReadWait::None); first >= 0;
             first = port.c_getc(BufferPort::ReadWait::None))
            assembly.tick(first, port, lines, options, hooks);
        received += port.bytes.size();
        port.bytes.resize(0);
        port.pos = 0;
    }
};

// Feeds the corpus up to each of the line counts in turn and reports the resident growth
// between the first and the last.
void runText(const std::vector<qint64> &marks)
{
    Feeder f;
    Corpus corpus;
    std::vector<double> rss;
    QElapsedTimer timer;
    timer.start();
    for (const qint64 mark : marks) {
        while (f.lines.size() < mark) {
            for (int i = 0; i < 4096; ++i)
                corpus.nextLine(f.port.bytes);
            f.feed();
        }
        f.lines.settle();
        rss.push_back(residentMB());
        std::printf("  %6.1f M lines (%.1f MB received, %.1f s): resident %.1f MB, the store's "
                    "own count %.1f MB\n",
                    double(f.lines.size()) / 1e6, double(f.received) / 1e6,
                    double(timer.nsecsElapsed()) / 1e9, rss.back(),
                    double(f.lines.memoryBytes()) / 1e6);
    }
    const double lines = double(marks.back() - marks.front()) / 1e6;
    std::printf("  resident growth: %.2f MB per million lines\n",
                (rss.back() - rss.front()) / lines);
}

void runFlood(const char *what, const std::function<void(char *, qsizetype)> &fill)
{
    constexpr qint64 kFirst = qint64(32) << 20;
    constexpr qint64 kLast = qint64(160) << 20;
    Feeder f;
    double first = 0;
    f.port.bytes.resize(0);
    QElapsedTimer timer;
    timer.start();
    while (f.received < kLast) {
        f.port.bytes.resize(1 << 20);
        fill(f.port.bytes.data(), f.port.bytes.size());
        f.feed();
        if (f.received == kFirst) {
            f.lines.settle();
            first = residentMB();
        }
    }
    f.lines.settle();
    const double last = residentMB();
    std::printf("  %s: %.0f MB received in %.1f s, %lld rows; resident %.1f MB at %.0f MB, "
                "%.1f MB at %.0f MB: %.2f MB per MB received (the store's own count %.1f MB)\n",
                what, double(f.received) / 1e6, double(timer.nsecsElapsed()) / 1e9,
                qlonglong(f.lines.size()), first, double(kFirst) / 1e6, last, double(kLast) / 1e6,
                (last - first) / (double(kLast - kFirst) / 1e6),
                double(f.lines.memoryBytes()) / 1e6);
}

int runCase(const char *name)
{
    if (!std::strcmp(name, "text")) {
        std::printf("case text: mixed module text, resident memory from 1 to 5 million lines\n");
        runText({1'000'000, 2'000'000, 3'000'000, 4'000'000, 5'000'000});
    } else if (!std::strcmp(name, "day")) {
        std::printf("case day: 50 million lines of mixed module text\n");
        runText({1'000'000, 10'000'000, 25'000'000, 50'000'000});
    } else if (!std::strcmp(name, "random")) {
        std::printf("case random: a flood of random bytes\n");
        quint64 seed = 99;
        runFlood("random bytes", [&](char *out, qsizetype n) {
            for (qsizetype i = 0; i < n; ++i) {
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                char c = char(seed >> 56);
                out[i] = c == 27 ? 'E' : c; // ESC [ 2 J would empty the list
            }
        });
    } else if (!std::strcmp(name, "nul")) {
        std::printf("case nul: a flood of NUL bytes\n");
        runFlood("NUL bytes", [](char *out, qsizetype n) { std::memset(out, 0, size_t(n)); });
    } else {
        std::printf("unknown case %s\n", name);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    std::vector<const char *> names;
    for (int i = 1; i < argc; ++i)
        names.push_back(argv[i]);
    if (names.empty())
        names = {"text", "random", "nul"};
    setvbuf(stdout, nullptr, _IOLBF, 0);
    int failures = 0;
    // Each case in a process of its own, so its resident memory is its own.
    for (const char *name : names) {
        const pid_t child = fork();
        if (child == 0)
            _exit(runCase(name));
        int status = 0;
        waitpid(child, &status, 0);
        failures += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    return failures == 0 ? 0 : 1;
}
